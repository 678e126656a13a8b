#pragma once

#include <cstddef>

#include <QDialog>

class QListWidget;

namespace versalo {

class SkipReport;

// Up to this many entries that kept their names are shown in a plain message box, as most drops
// with a few of them need; a longer list would grow the box beyond the screen.
inline constexpr std::size_t kSkippedInMessageBox = 10;

// The entries of a batch that kept their names when there are many: the count, a scrollable list
// of every entry with its reason, a button that copies them all, and OK. Its size fits a small
// screen (at most two thirds of the screen's height); it can be made larger.
class SkippedList : public QDialog {
    Q_OBJECT

public:
    SkippedList(const SkipReport& report, QWidget* parent);

    // The entries as "Kopieren" puts them on the clipboard: one a line, each with its reason.
    QString Text() const;

private:
    QListWidget* m_entries = nullptr;
};

}  // namespace versalo
