// A single-line field with a small button at its right end (choosing a file for the field).
#pragma once

#include <QLineEdit>

class QToolButton;

namespace ui {

class ButtonEdit : public QLineEdit {
    Q_OBJECT
public:
    static constexpr int kButtonWidth = 15;

    explicit ButtonEdit(QWidget* parent);

    QToolButton* button() const { return button_; }

signals:
    void buttonClicked();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QToolButton* button_;
};

} // namespace ui
