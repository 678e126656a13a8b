#include "ui/main_window/options_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

#include "engine/text_case.h"
#include "settings/settings_store.h"

namespace versalo {

namespace {

QStringList Items(const std::vector<std::string>& items) {
    QStringList list;
    for (const std::string& item : items) {
        list.append(QString::fromStdString(item));
    }
    return list;
}

// Items of a ";"-separated text; a kept word must hold no "/" (it is matched within one name).
std::vector<std::string> Split(const QStringList& items, bool words) {
    std::vector<std::string> result;
    for (const QString& item : items) {
        const std::string text = item.trimmed().toStdString();
        if (!text.empty() && IsValidUtf8(text) && !(words && text.find('/') != std::string::npos)) {
            result.push_back(text);
        }
    }
    return result;
}

QStringList SplitText(const QString& text) {
    return text.split(QLatin1Char(';'), Qt::SkipEmptyParts);
}

constexpr qsizetype kSampleCount = 4;

QString Counted(std::size_t count, const char* one, const char* many) {
    return count == 1 ? QStringLiteral("1 ") + QString::fromUtf8(one)
                      : QString::number(count) + QLatin1Char(' ') + QString::fromUtf8(many);
}

}  // namespace

DropOptions DropOptions::Stored() {
    DropOptions options;
    options.words = ReadSetting(Setting::Woerter) == 1;
    options.scope.part = static_cast<NamePart>(ReadSetting(Setting::Namensteil));
    options.scope.entries = static_cast<EntryKinds>(ReadSetting(Setting::Eintraege));
    options.scope.maxDepth = ReadSetting(Setting::Tiefe);
    options.scope.exclude = Split(ReadListSetting(ListSetting::Ausnehmen), false);
    options.scope.keep = Split(ReadListSetting(ListSetting::Behalten), true);
    return options;
}

bool DropOptions::Store() const {
    bool stored = WriteSetting(Setting::Woerter, words ? 1 : 0);
    stored = WriteSetting(Setting::Namensteil, static_cast<int>(scope.part)) && stored;
    stored = WriteSetting(Setting::Eintraege, static_cast<int>(scope.entries)) && stored;
    stored = WriteSetting(Setting::Tiefe, scope.maxDepth) && stored;
    stored = WriteListSetting(ListSetting::Ausnehmen, Items(scope.exclude)) && stored;
    return WriteListSetting(ListSetting::Behalten, Items(scope.keep)) && stored;
}

QString DropOptions::Summary() const {
    QStringList parts;
    if (words) {
        parts << QStringLiteral("jedes Wort");
    }
    if (scope.part != NamePart::kWhole) {
        parts << (scope.part == NamePart::kNameOnly ? QStringLiteral("nur Name")
                                                    : QStringLiteral("nur Endung"));
    }
    if (scope.entries != EntryKinds::kAll) {
        parts << (scope.entries == EntryKinds::kFilesOnly ? QStringLiteral("nur Dateien")
                                                          : QStringLiteral("nur Ordner"));
    }
    if (scope.maxDepth >= 0) {
        parts << QStringLiteral("Tiefe %1").arg(scope.maxDepth);
    }
    if (!scope.exclude.empty()) {
        parts << Counted(scope.exclude.size(), "Ausnahme", "Ausnahmen");
    }
    if (!scope.keep.empty()) {
        parts << Counted(scope.keep.size(), "Wort behalten", "Wörter behalten");
    }
    return parts.join(QStringLiteral(" · "));
}

QString DropOptions::Description() const {
    if (IsDefault()) {
        return {};
    }
    QStringList lines{QStringLiteral("Optionen (rechte Maustaste, „Optionen …“):")};
    if (words) {
        lines << QStringLiteral("Alternativ: jedes Wort groß");
    }
    if (scope.part != NamePart::kWhole) {
        lines << (scope.part == NamePart::kNameOnly ? QStringLiteral("nur der Name, die Endung bleibt")
                                                    : QStringLiteral("nur die Endung, der Name bleibt"));
    }
    if (scope.entries != EntryKinds::kAll) {
        lines << (scope.entries == EntryKinds::kFilesOnly ? QStringLiteral("nur Dateien")
                                                          : QStringLiteral("nur Ordner"));
    }
    if (scope.maxDepth >= 0) {
        lines << QStringLiteral("nur bis %1 Ebenen unter dem Hineingezogenen").arg(scope.maxDepth);
    }
    if (!scope.exclude.empty()) {
        lines << QStringLiteral("ausgenommen: ") + Items(scope.exclude).join(QStringLiteral("; "));
    }
    if (!scope.keep.empty()) {
        lines << QStringLiteral("behalten: ") + Items(scope.keep).join(QStringLiteral("; "));
    }
    return lines.join(QLatin1Char('\n'));
}

OptionsDialog::OptionsDialog(const DropOptions& options, CaseRule windowRule, const QString& lastDropped,
                             QWidget* parent)
    : QDialog(parent),
      m_windowRule(windowRule),
      m_samples{QStringLiteral("MY FAVOURITE SONG.MP3"), QStringLiteral("don't stop me now.flac"),
                QStringLiteral("IMG_1234.JPG"), QStringLiteral("paul mccartney live dvd.mkv")} {
    setWindowTitle(QStringLiteral("Versalo – Optionen"));
    if (!lastDropped.isEmpty()) {
        m_samples.append(lastDropped);
    }
    auto* form = new QFormLayout;
    m_words = new QComboBox(this);
    m_words->setObjectName(QStringLiteral("Woerter"));
    m_words->addItems({QStringLiteral("erster Buchstabe des Namens groß"),
                       QStringLiteral("erster Buchstabe jedes Wortes groß")});
    m_words->setCurrentIndex(options.words ? 1 : 0);
    form->addRow(QStringLiteral("&Alternativ:"), m_words);
    m_part = new QComboBox(this);
    m_part->setObjectName(QStringLiteral("Namensteil"));
    m_part->addItems({QStringLiteral("ganzer Name"), QStringLiteral("nur Name, Endung bleibt"),
                      QStringLiteral("nur Endung, Name bleibt")});
    m_part->setCurrentIndex(static_cast<int>(options.scope.part));
    form->addRow(QStringLiteral("&Namensteil:"), m_part);
    m_entries = new QComboBox(this);
    m_entries->setObjectName(QStringLiteral("Eintraege"));
    m_entries->addItems(
        {QStringLiteral("Dateien und Ordner"), QStringLiteral("nur Dateien"), QStringLiteral("nur Ordner")});
    m_entries->setCurrentIndex(static_cast<int>(options.scope.entries));
    form->addRow(QStringLiteral("&Einträge:"), m_entries);
    m_depth = new QSpinBox(this);
    m_depth->setObjectName(QStringLiteral("Tiefe"));
    m_depth->setRange(-1, 9999);
    m_depth->setSpecialValueText(QStringLiteral("alle Ebenen"));
    m_depth->setValue(std::min(options.scope.maxDepth, 9999));
    m_depth->setToolTip(QStringLiteral("Ebenen unter dem Hineingezogenen; 0: nur das Hineingezogene selbst"));
    form->addRow(QStringLiteral("&Tiefe:"), m_depth);
    m_exclude = new QLineEdit(Items(options.scope.exclude).join(QLatin1Char(';')), this);
    m_exclude->setObjectName(QStringLiteral("Ausnehmen"));
    m_exclude->setPlaceholderText(QStringLiteral("z. B. node_modules;build;*.bak"));
    form->addRow(QStringLiteral("Aus&nehmen:"), m_exclude);
    m_keep = new QLineEdit(Items(options.scope.keep).join(QLatin1Char(';')), this);
    m_keep->setObjectName(QStringLiteral("Behalten"));
    m_keep->setPlaceholderText(QStringLiteral("z. B. DVD;McCartney;iPhone"));
    form->addRow(QStringLiteral("&Behalten:"), m_keep);
    m_example = new QLabel(this);
    m_example->setObjectName(QStringLiteral("Beispiel"));
    m_example->setTextFormat(Qt::PlainText);
    form->addRow(QStringLiteral("Beispiel:"), m_example);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Abbrechen"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    for (QComboBox* box : {m_words, m_part, m_entries}) {
        connect(box, &QComboBox::currentIndexChanged, this, &OptionsDialog::UpdateExample);
    }
    connect(m_depth, &QSpinBox::valueChanged, this, &OptionsDialog::UpdateExample);
    connect(m_exclude, &QLineEdit::textChanged, this, &OptionsDialog::UpdateExample);
    connect(m_keep, &QLineEdit::textChanged, this, &OptionsDialog::UpdateExample);
    UpdateExample();
}

DropOptions OptionsDialog::Chosen() const {
    DropOptions options;
    options.words = m_words->currentIndex() == 1;
    options.scope.part = static_cast<NamePart>(m_part->currentIndex());
    options.scope.entries = static_cast<EntryKinds>(m_entries->currentIndex());
    options.scope.maxDepth = m_depth->value();
    options.scope.exclude = Split(SplitText(m_exclude->text()), false);
    options.scope.keep = Split(SplitText(m_keep->text()), true);
    return options;
}

void OptionsDialog::UpdateExample() {
    const DropOptions options = Chosen();
    const CaseRule rule = options.RuleFor(m_windowRule);
    const NamePatterns patterns(options.scope.exclude);
    QStringList lines;
    for (qsizetype i = 0; i < m_samples.size(); ++i) {
        const QString& sample = m_samples[i];
        const std::string name = sample.toStdString();
        // The samples are files inside a dropped folder; the last dropped name (after them) is a
        // dropped item, which is never excluded by its own name.
        const bool excluded = i < kSampleCount && patterns.Matches(name);
        const std::string converted = excluded || !options.scope.Renames(false)
                                          ? name
                                          : ConvertName(name, rule, options.scope, /*folder=*/false);
        lines << sample + QStringLiteral("  →  ") + QString::fromStdString(converted) +
                     (excluded ? QStringLiteral("  (ausgenommen)") : QString());
    }
    m_example->setText(lines.join(QLatin1Char('\n')));
}

}  // namespace versalo
