#include "sizecombobox.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStyleOptionComboBox>
#include <QValidator>
#include <algorithm>

namespace Tarnwick {

namespace {

QString FieldText(int value) {
    return value == 0 ? QStringLiteral("Auto") : QString::number(value);
}

// Unsigned decimal; anything else counts as 0, which is "Auto".
int FieldValue(const QString& text) {
    bool ok = false;
    const uint value = text.trimmed().toUInt(&ok);
    return ok ? static_cast<int>(value) : 0;
}

// Refuses a typed number beyond the largest picture side, so the field keeps its last good
// value: a side that does not fit the preset file's "%dx%d" would lose the preset at the next
// start. Other text stays allowed while typing ("Auto", or letters on the way to a number)
// and counts as 0.
class PictureSideValidator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& /*position*/) const override {
        const QString text = input.trimmed();
        if (text.isEmpty() || !std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); }))
            return Intermediate;
        bool ok = false;
        const qulonglong value = text.toULongLong(&ok);
        return ok && value <= static_cast<qulonglong>(SizeComboBox::MaxSide) ? Acceptable : Invalid;
    }
};

QLineEdit* MakeField(QWidget* parent) {
    auto* field = new QLineEdit(parent);
    field->setAlignment(Qt::AlignCenter);
    field->setFrame(false);
    field->setValidator(new PictureSideValidator(field));
    return field;
}

} // namespace

SizeComboBox::SizeComboBox(QWidget* parent)
    : QComboBox(parent) {
    setEditable(true);
    lineEdit()->hide();
    width_ = MakeField(this);
    width_->setObjectName(QStringLiteral("id59648")); // 0xE900
    times_ = new QLabel(QStringLiteral("x"), this);
    times_->setAlignment(Qt::AlignCenter);
    height_ = MakeField(this);
    height_->setObjectName(QStringLiteral("id59649")); // 0xE901
    setFocusProxy(width_);
    width_->installEventFilter(this);
    height_->installEventFilter(this);
    connect(width_, &QLineEdit::textChanged, this, &SizeComboBox::OnFieldEdited);
    connect(height_, &QLineEdit::textChanged, this, &SizeComboBox::OnFieldEdited);
    connect(this, &QComboBox::activated, this, &SizeComboBox::OnEntryChosen);
    SetValue(0, 0);
}

QSize SizeComboBox::ParseSize(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^\\s*([+-]?\\d+)?(?:\\s*x\\s*([+-]?\\d+))?"));
    const QRegularExpressionMatch match = pattern.match(text);
    return QSize(match.captured(1).toInt(), match.captured(2).toInt());
}

void SizeComboBox::SetValue(int width, int height) {
    settingFields_ = true;
    width_->setText(FieldText(width));
    height_->setText(FieldText(height));
    setEditText(QStringLiteral("%1 x %2").arg(width).arg(height));
    settingFields_ = false;
}

QSize SizeComboBox::Value() const {
    return ParseSize(currentText());
}

void SizeComboBox::OnFieldEdited() {
    if (settingFields_)
        return;
    // Setting the edit text emits editTextChanged, exactly as typing into a plain combo does.
    setEditText(QStringLiteral("%1 x %2").arg(FieldValue(width_->text())).arg(FieldValue(height_->text())));
}

void SizeComboBox::OnEntryChosen(int index) {
    const QSize size = ParseSize(itemText(index));
    SetValue(size.width(), size.height());
    if (!width_->hasFocus() && !height_->hasFocus())
        width_->setFocus();
}

void SizeComboBox::LayOutFields() {
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const QRect edit =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    const int fieldWidth = (edit.width() - 12) / 2;
    width_->setGeometry(edit.left(), edit.top(), fieldWidth, edit.height());
    times_->setGeometry(edit.left() + fieldWidth, edit.top() - 1, 12, edit.height() + 2);
    const int heightLeft = edit.left() + fieldWidth + 12;
    height_->setGeometry(heightLeft, edit.top(), edit.right() + 1 - heightLeft, edit.height());
}

void SizeComboBox::resizeEvent(QResizeEvent* event) {
    QComboBox::resizeEvent(event);
    if (width() > 0 && height() > 0)
        LayOutFields();
}

void SizeComboBox::focusInEvent(QFocusEvent* event) {
    QComboBox::focusInEvent(event);
    if (!width_->hasFocus() && !height_->hasFocus())
        width_->setFocus();
}

void SizeComboBox::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange) {
        width_->setEnabled(isEnabled());
        times_->setEnabled(isEnabled());
        height_->setEnabled(isEnabled());
    }
    QComboBox::changeEvent(event);
}

bool SizeComboBox::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (watched == width_ && key->key() == Qt::Key_Tab && key->modifiers() == Qt::NoModifier) {
            height_->setFocus(Qt::TabFocusReason);
            return true;
        }
        if (watched == height_ && key->key() == Qt::Key_Backtab) {
            width_->setFocus(Qt::BacktabFocusReason);
            return true;
        }
        if (watched == height_ && key->key() == Qt::Key_Tab) {
            // Leave the control for the next widget after the combo, not the width field.
            focusNextChild();
            return true;
        }
    }
    return QComboBox::eventFilter(watched, event);
}

} // namespace Tarnwick
