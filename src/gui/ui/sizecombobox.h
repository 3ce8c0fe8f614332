#pragma once

#include <QComboBox>
#include <QSize>

class QLabel;
class QLineEdit;

namespace Tarnwick {

// An editable combo box whose edit field is replaced by a width field and a height field with
// an "x" between them. Its edit text is always "%d x %d" of the two fields (0 shows "Auto"),
// so owners read and write it as an ordinary editable combo box.
class SizeComboBox : public QComboBox {
    Q_OBJECT

public:
    // The largest width or height that can be typed: 8K pictures, well within what the
    // encoders take.
    static constexpr int MaxSide = 8192;

    explicit SizeComboBox(QWidget* parent = nullptr);

    // Sets both fields; 0 shows "Auto". No change notification while setting.
    void SetValue(int width, int height);
    // "%d x %d" scanned from the edit text; missing numbers are 0.
    QSize Value() const;

    QLineEdit* WidthField() const { return width_; }
    QLineEdit* HeightField() const { return height_; }

    // Reads "%d x %d" from a text; missing numbers are 0.
    static QSize ParseSize(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LayOutFields();
    void OnFieldEdited();
    void OnEntryChosen(int index);

    QLineEdit* width_;
    QLabel* times_;
    QLineEdit* height_;
    bool settingFields_ = false;
};

} // namespace Tarnwick
