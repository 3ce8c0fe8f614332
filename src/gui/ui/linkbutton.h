#pragma once

#include <QAbstractButton>
#include <QColor>

namespace Tarnwick {

// A push button drawn as a text link: blue, red while the mouse is over it, with a pointing
// hand; on a scheme where those do not read, in the scheme's link or text colour. With an address it opens
// that address when clicked; without one it is an ordinary button whose clicked() reaches the window.
class LinkButton : public QAbstractButton {
    Q_OBJECT

public:
    static const QColor NormalColor;
    static const QColor HoverColor;

    explicit LinkButton(const QString& caption, QWidget* parent = nullptr);

    void SetAddress(const QString& address, const QString& caption = {});
    const QString& Address() const { return address_; }
    bool IsHovered() const { return hovered_; }
    QColor TextColor() const;
    // Keeps left, top and height; as wide as the caption plus 8 pixels.
    void SizeToText();

    QSize sizeHint() const override;

signals:
    // The address was handed to the system (only for buttons with an address).
    void addressOpened(const QString& address);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void nextCheckState() override {}

private:
    void OnClicked();
    void SetHovered(bool hovered);

    QString address_;
    bool hovered_ = false;
};

} // namespace Tarnwick
