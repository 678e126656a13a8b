#include "ui/main_window/skipped_list.h"

#include <algorithm>

#include <QClipboard>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include "engine/drop_batch.h"
#include "engine/skip_report.h"

namespace versalo {

namespace {

constexpr int kWidth = 620;
constexpr int kHeight = 440;

// "12 Einträge haben ihren Namen behalten:", as the message box would begin.
QString Heading(const SkipReport& report) {
    const std::string summary = report.Summary(NameQuoting::kWindow, 0);
    return QString::fromStdString(summary.substr(0, summary.find('\n')));
}

}  // namespace

SkippedList::SkippedList(const SkipReport& report, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Versalo"));
    auto* icon = new QLabel(this);
    const int iconSize = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, this).pixmap(iconSize));
    auto* heading = new QLabel(Heading(report), this);
    heading->setTextFormat(Qt::PlainText);

    m_entries = new QListWidget(this);
    m_entries->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (const SkippedEntry& entry : report.Entries()) {
        m_entries->addItem(
            QString::fromStdString(QuotedName(entry.path, NameQuoting::kWindow) + ": " + entry.reason));
    }

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* copy = buttons->addButton(QStringLiteral("&Kopieren"), QDialogButtonBox::ActionRole);
    QPushButton* ok = buttons->addButton(QDialogButtonBox::Ok);
    // Return closes the list, also after a click on "Kopieren" has given that button the focus.
    copy->setAutoDefault(false);
    ok->setDefault(true);
    connect(copy, &QPushButton::clicked, this, [this] { QGuiApplication::clipboard()->setText(Text()); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addWidget(heading, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_entries, 1);
    layout->addWidget(buttons);

    const QScreen* screen = parent != nullptr ? parent->screen() : QGuiApplication::primaryScreen();
    const int room = screen != nullptr ? screen->availableGeometry().height() * 2 / 3 : kHeight;
    resize(kWidth, std::min(kHeight, room));
    ok->setFocus();
}

QString SkippedList::Text() const {
    QStringList lines;
    for (int row = 0; row < m_entries->count(); ++row) {
        lines.append(m_entries->item(row)->text());
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

}  // namespace versalo
