#pragma once

#include <QCheckBox>

namespace versalo {

// A check box whose caption wraps onto a second line when the box is too narrow for it, as
// "&Immer oben" does in its narrow place on the main window. A click on a grey box checks it.
class CaptionCheckBox : public QCheckBox {
    Q_OBJECT

public:
    CaptionCheckBox(const QString& caption, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;
    void nextCheckState() override;
};

}  // namespace versalo
