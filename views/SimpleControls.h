#pragma once
// TSimplePieGauge, a small control that shows a percentage as a filled wedge on a disc with the
// percentage written in the middle, and TBltBitmap, the off-screen picture it composes in.
//
// The gauge's properties are Qt properties with the names and defaults below; the usual control
// properties (Align, Enabled, Font, ParentFont, PopupMenu, ShowHint, Visible) are QWidget's own:
// layouts, setEnabled, font (inherited from the parent, as ParentFont), contextMenuPolicy,
// toolTip and setVisible.

#include <QString>
#include <QWidget>
#include <cstdint>
#include <stdexcept>

#include "draw/PainterCanvas.h"
#include "draw/SystemColors.h"

// A call that is not allowed in the object's present state; what() is the message for the user.
class EInvalidOperation : public std::runtime_error {
public:
    explicit EInvalidOperation(const QString& message)
        : std::runtime_error(message.toStdString()) {}
    QString Message() const { return QString::fromStdString(what()); }
};

// A picture that can take the size of another.
class TBltBitmap : public draw::Bitmap {
public:
    using Bitmap::Bitmap;
    // Takes the template's width and height and fills the whole picture with the window-frame
    // system colour.
    void MakeLike(const draw::Bitmap& templ);
};

class TSimplePieGauge : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool ShowText READ ShowText WRITE SetShowText)
    Q_PROPERTY(TBorderStyle BorderStyle READ BorderStyle WRITE SetBorderStyle)
    Q_PROPERTY(uint ForeColor READ ForeColor WRITE SetForeColor)
    Q_PROPERTY(uint BackColor READ BackColor WRITE SetBackColor)
    Q_PROPERTY(uint BorderColor READ BorderColor WRITE SetBorderColor)
    Q_PROPERTY(int MinValue READ MinValue WRITE SetMinValue)
    Q_PROPERTY(int MaxValue READ MaxValue WRITE SetMaxValue)
    Q_PROPERTY(int Progress READ Progress WRITE SetProgress)
    Q_PROPERTY(uint Color READ Color WRITE SetColor)
    Q_PROPERTY(bool ParentColor READ ParentColor WRITE SetParentColor)

public:
    enum TBorderStyle { bsNone, bsSingle };
    Q_ENUM(TBorderStyle)

    // 100 × 100 pixels, with the defaults: text shown, single border, black wedge on a white
    // disc with a black outline, range 0 to 100, progress 0, the parent's colour around the disc.
    explicit TSimplePieGauge(QWidget* parent = nullptr);

    bool ShowText() const { return showText_; }
    TBorderStyle BorderStyle() const { return borderStyle_; }
    draw::TColor ForeColor() const { return foreColor_; }
    draw::TColor BackColor() const { return backColor_; }
    draw::TColor BorderColor() const { return borderColor_; }
    int32_t MinValue() const { return minValue_; }
    int32_t MaxValue() const { return maxValue_; }
    int32_t Progress() const { return progress_; }
    // The colour of the area around the disc; with ParentColor, the parent's background.
    draw::TColor Color() const;
    bool ParentColor() const { return parentColor_; }

    // Each stores a different value and repaints.
    void SetShowText(bool value) { Change(showText_, value); }
    void SetBorderStyle(TBorderStyle value) { Change(borderStyle_, value); }
    void SetForeColor(draw::TColor value) { Change(foreColor_, value); }
    void SetBackColor(draw::TColor value) { Change(backColor_, value); }
    void SetBorderColor(draw::TColor value) { Change(borderColor_, value); }
    // Stores the colour and stops following the parent's.
    void SetColor(draw::TColor value);
    void SetParentColor(bool value) { Change(parentColor_, value); }

    // Throws EInvalidOperation "Value must be between -2147483647 and <MaxValue - 1>" for a
    // value above MaxValue (unless loading); otherwise stores it and raises Progress to it.
    void SetMinValue(int32_t value);
    // Throws EInvalidOperation "Value must be between <MinValue + 1> and 2147483647" for a
    // value below MinValue (unless loading); otherwise stores it and lowers Progress to it.
    void SetMaxValue(int32_t value);
    // Clamps the value into [MinValue, MaxValue]; repaints only when the percent done changes.
    void SetProgress(int32_t value);

    // While loading (properties set one by one from a saved description) the range checks of
    // SetMinValue and SetMaxValue are left out.
    void SetLoading(bool loading) { loading_ = loading; }

    // (Progress - MinValue) * 100 / (MaxValue - MinValue) truncated toward zero; 0 for an empty
    // range.
    int PercentDone() const;

    // The picture the gauge shows at its present size.
    QImage Compose() const;

    QSize sizeHint() const override { return {100, 100}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    template <typename T>
    void Change(T& field, T value) {
        if (field == value) return;
        field = value;
        update();
    }
    void DrawPie(draw::Canvas& canvas, const draw::Rect& paint) const;

    bool showText_ = true;
    TBorderStyle borderStyle_ = bsSingle;
    draw::TColor foreColor_ = draw::clBlack;
    draw::TColor backColor_ = draw::clWhite;
    draw::TColor borderColor_ = draw::clBlack;
    int32_t minValue_ = 0;
    int32_t maxValue_ = 100;
    int32_t progress_ = 0;
    draw::TColor color_ = draw::clBtnFace;
    bool parentColor_ = true;
    bool loading_ = false;
};
