// A label that acts on a click of the left mouse button, shown with a hand cursor (the address labels).
#pragma once

#include <QLabel>

namespace ui {

class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(QWidget* parent);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace ui
