#include "app/panel_button.h"

#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

PanelButton::PanelButton(const QString& caption, QWidget* parent)
    : QFrame(parent), label_(new QLabel(caption, this)), color_(Qt::black) {
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(1);
    setAutoFillBackground(true);
    setCursor(Qt::PointingHandCursor);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->addWidget(label_);
    label_->setAlignment(Qt::AlignCenter);
    setFontColor(color_);
}

QString PanelButton::caption() const {
    return label_->text();
}

void PanelButton::setCaption(const QString& caption) {
    label_->setText(caption);
}

QColor PanelButton::fontColor() const {
    return color_;
}

void PanelButton::setFontColor(const QColor& color) {
    color_ = color;
    QPalette pal = label_->palette();
    pal.setColor(QPalette::WindowText, color);
    label_->setPalette(pal);
}

void PanelButton::setCaptionFont(const QFont& font) {
    label_->setFont(font);
}

void PanelButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        setFrameShadow(QFrame::Sunken);
    QFrame::mousePressEvent(event);
}

void PanelButton::mouseReleaseEvent(QMouseEvent* event) {
    setFrameShadow(QFrame::Raised);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
    QFrame::mouseReleaseEvent(event);
}
