#pragma once

#include <QFrame>

class QLabel;

// A raised panel with a centred caption that acts as a button.
class PanelButton : public QFrame {
    Q_OBJECT
public:
    explicit PanelButton(const QString& caption, QWidget* parent = nullptr);

    QString caption() const;
    void setCaption(const QString& caption);
    QColor fontColor() const;
    void setFontColor(const QColor& color);
    void setCaptionFont(const QFont& font);

Q_SIGNALS:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QLabel* label_;
    QColor color_;
};
