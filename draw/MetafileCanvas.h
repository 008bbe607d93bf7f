#pragma once
// The canvas back ends that write a drawing as a picture file instead of pixels: WmfCanvas
// (platform/WmfCanvas.h) writes a placeable Windows metafile, EmfCanvas (platform/EmfCanvas.h) an
// enhanced metafile. This is what both share.
//
// One logical unit of the file is one pixel of the drawing, and the picture is the width × height
// given at creation. Every call becomes the record a Windows device context would have been
// given, with the canvas's boxes and points unchanged, so a reader draws the same picture the
// screen shows:
// - system colours are resolved to plain colours when drawn (the file cannot name them);
// - text is measured as on the screen (the font in pixels at 96 dots per inch), so a drawing lays
//   out its labels the same; each character's advance is written with the text;
// - a MoveTo is written only when a line starts from there;
// - FillRect is a rectangle drawn with no pen; text over a solid brush is a FillRect of its extent,
//   then the text, always on a transparent background;
// - pens, brushes and fonts become objects in the file only when a drawing needs them, and each
//   replaces and deletes the one before, so the file's object table stays a few entries long.
// The file holds no pixels and no clip region: CopyRect and Draw write nothing, Grab gives a null
// image, and TextRect writes only the characters whose cells lie wholly inside the clip.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <vector>

#include "draw/Canvas.h"

namespace draw {

// A picture file that could not be written; what() names the file and the system's reason.
class EMetafileWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Appends fields to a byte array least significant byte first, one byte at a time, so the
// layout never depends on how the compiler lays out a struct.
class LittleEndianWriter {
public:
    explicit LittleEndianWriter(QByteArray& out) : out_(out) {}
    void U8(std::uint8_t value) { out_.append(char(value)); }
    void U16(std::uint16_t value) {
        U8(std::uint8_t(value));
        U8(std::uint8_t(value >> 8));
    }
    void U32(std::uint32_t value) {
        U16(std::uint16_t(value));
        U16(std::uint16_t(value >> 16));
    }
    // A 16-bit coordinate: values beyond its range are clamped rather than wrapped around.
    void I16(int value);
    void I32(std::int32_t value) { U32(std::uint32_t(value)); }
    void F32(float value);
    void Zeros(int count) { out_.append(count, '\0'); }

private:
    QByteArray& out_;
};

class MetafileCanvas : public Canvas {
public:
    // The complete file for what has been drawn so far: header, records and end record. Drawing
    // may go on afterwards; a later call gives the longer file.
    virtual QByteArray Bytes() const = 0;
    // Writes Bytes() to path, replacing any file of that name. Throws EMetafileWriteError when
    // the file cannot be created or not written completely (a part may then remain).
    void SaveToFile(const QString& path) const;

    int PictureWidth() const { return width_; }
    int PictureHeight() const { return height_; }

    void LineTo(int x, int y) override;
    void FillRect(const Rect& r) override;
    void Rectangle(int x1, int y1, int x2, int y2) override;
    void Ellipse(int x1, int y1, int x2, int y2) override;
    void Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4) override;
    int TextWidth(const QString& text) const override;
    int TextHeight(const QString& text) const override;
    void TextOut(int x, int y, const QString& text) override;
    void TextRect(const Rect& clip, int x, int y, const QString& text) override;
    void CopyRect(const Rect& dest, const Canvas& source, const Rect& sourceRect) override;
    void Draw(int x, int y, const QImage& picture) override;
    QImage Grab(const Rect& r) const override;

protected:
    // What a pen, brush or font object in the file is. A null pen draws no outline; a null
    // brush fills nothing. Colours are plain (0x00BBGGRR).
    struct PenObject {
        bool null = false;
        TColor rgb = 0;
        friend bool operator==(const PenObject&, const PenObject&) = default;
    };
    struct BrushObject {
        bool null = false;
        TColor rgb = 0;
        friend bool operator==(const BrushObject&, const BrushObject&) = default;
    };
    struct FontObject {
        QString face;
        int pixelSize = 0;  // the em height
        int weight = 400;   // 100 to 900, 400 normal, 700 bold
        bool italic = false;
        bool underline = false;
        bool strikeOut = false;
        friend bool operator==(const FontObject&, const FontObject&) = default;
    };
    // An object as the select and delete records name it: an index into the file's object
    // table, or one of the format's stock objects, which are never created or deleted.
    struct Handle {
        std::uint32_t id = 0;
        bool stock = false;
    };

    // A picture of width × height; sizes below 1 count as 1, so the file stays readable.
    // Indices of the object table start at firstIndex.
    MetafileCanvas(int width, int height, std::uint32_t firstIndex);

    // The records of each format. Boxes come with left < right and top < bottom; text comes with
    // the advance of each UTF-16 unit (the second unit of a pair advances 0).
    virtual Handle CreatePen(const PenObject& pen) = 0;
    virtual Handle CreateBrush(const BrushObject& brush) = 0;
    virtual Handle CreateFont(const FontObject& font) = 0;
    virtual void WriteSelectObject(Handle object) = 0;
    virtual void WriteDeleteObject(std::uint32_t index) = 0;
    virtual void WriteTextColor(TColor rgb) = 0;
    virtual void WriteMoveTo(int x, int y) = 0;
    virtual void WriteLineTo(int x, int y) = 0;
    virtual void WriteRectangle(const Rect& box) = 0;
    virtual void WriteEllipse(const Rect& box) = 0;
    virtual void WritePie(const Rect& box, int xStart, int yStart, int xEnd, int yEnd) = 0;
    virtual void WriteText(int x, int y, const QString& text, const std::vector<int>& advances) = 0;

    // Adds a whole record to the body, counting it.
    void AddRecord(const QByteArray& record);
    // The lowest free index of the object table, now taken.
    std::uint32_t TakeIndex();

    // The records written so far, between the format's header and its end record.
    const QByteArray& Body() const { return body_; }
    int RecordCount() const { return recordCount_; }
    int LargestRecord() const { return largestRecord_; }  // in bytes
    // The highest index the object table has held, plus one (firstIndex when none).
    std::uint32_t TableSize() const { return tableSize_; }

private:
    void UsePen(const PenObject& pen);
    void UseBrush(const BrushObject& brush);
    void UseFont();
    template <typename Object, typename Create>
    void Use(std::optional<Object>& selected, Handle& handle, const Object& wanted, Create create);
    // The brush as the canvas has it now (a clear brush is the null brush).
    BrushObject CurrentBrush() const;
    void WriteRun(int x, int y, const QString& text, int from, int to);

    int width_;
    int height_;
    QByteArray body_;
    int recordCount_ = 0;
    int largestRecord_ = 0;
    std::uint32_t firstIndex_;
    std::uint32_t tableSize_;
    std::vector<bool> taken_;  // by index - firstIndex_

    // What the file has selected; none until the first drawing that needs it.
    std::optional<PenObject> pen_;
    std::optional<BrushObject> brush_;
    std::optional<FontObject> font_;
    Handle penHandle_, brushHandle_, fontHandle_;
    std::optional<TColor> textColor_;
    QPoint filePenPos_;  // where the file's lines go on from; a reader starts at (0, 0)
};

}  // namespace draw
