#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include "engine/case_rules.h"
#include "engine/name_scope.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QSpinBox;

namespace versalo {

// The options of a drop, as the settings keep them: the word rule for Alternativ, and the name
// scope (part, entries, depth, exclusions, kept spellings).
struct DropOptions {
    bool words = false;  // Alternativ capitalises every word, not only the name's first letter
    NameScope scope;

    // From the settings; a damaged value gives its default, a kept word with "/" or an item that
    // is no UTF-8 text is left out.
    static DropOptions Stored();
    // False when the settings file could not be written.
    bool Store() const;
    bool IsDefault() const { return !words && scope.IsDefault(); }
    // The rule a drop uses for the window's case option.
    CaseRule RuleFor(CaseRule windowRule) const {
        return words && windowRule == CaseRule::kInitialCapital ? CaseRule::kEachWord : windowRule;
    }
    // What differs from the defaults, short, for the idle progress bar ("nur Endung · Tiefe 1");
    // and one line each, for the drop zone's tooltip. Empty when nothing differs.
    QString Summary() const;
    QString Description() const;
};

// "Optionen": the choices of DropOptions, with a live example of what a few names (and the last
// dropped one) become under the window's case rule and the choices made.
class OptionsDialog : public QDialog {
    Q_OBJECT

public:
    OptionsDialog(const DropOptions& options, CaseRule windowRule, const QString& lastDropped,
                  QWidget* parent = nullptr);
    DropOptions Chosen() const;

private:
    void UpdateExample();

    CaseRule m_windowRule;
    QStringList m_samples;
    QComboBox* m_words = nullptr;
    QComboBox* m_part = nullptr;
    QComboBox* m_entries = nullptr;
    QSpinBox* m_depth = nullptr;
    QLineEdit* m_exclude = nullptr;
    QLineEdit* m_keep = nullptr;
    QLabel* m_example = nullptr;
};

}  // namespace versalo
