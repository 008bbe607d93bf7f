#pragma once
// Test helpers that read metafiles back: the records of a placeable Windows metafile or of an
// enhanced metafile, with every fact of their headers checked against the records found.
// Failures are reported through GoogleTest as they are found.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace metafiles {

inline std::uint32_t U16(const QByteArray& b, qsizetype at) {
    return std::uint8_t(b[at]) | std::uint32_t(std::uint8_t(b[at + 1])) << 8;
}
inline std::uint32_t U32(const QByteArray& b, qsizetype at) {
    return U16(b, at) | U16(b, at + 2) << 16;
}
inline int I16(const QByteArray& b, qsizetype at) {
    return std::int16_t(U16(b, at));
}
inline int I32(const QByteArray& b, qsizetype at) {
    return std::int32_t(U32(b, at));
}

struct Record {
    std::uint32_t type = 0;  // the WMF function or the EMF record type
    QByteArray params;       // what follows the record's header
};

// What the records did to the object table: the index each create record got, in order, and
// the largest index live at once.
struct Objects {
    std::vector<std::uint32_t> created;
    std::uint32_t highest = 0;
};

struct Metafile {
    std::vector<Record> records;  // the end record included
    Objects objects;
    int width = 0, height = 0;  // the placeable bounding box, or the EMF bounds plus one

    std::vector<const Record*> Of(std::uint32_t type) const {
        std::vector<const Record*> found;
        for (const Record& r : records) {
            if (r.type == type) found.push_back(&r);
        }
        return found;
    }
};

namespace wmf {
inline constexpr std::uint32_t SetBkMode = 0x0102;
inline constexpr std::uint32_t SetMapMode = 0x0103;
inline constexpr std::uint32_t SetTextColor = 0x0209;
inline constexpr std::uint32_t SetWindowOrg = 0x020B;
inline constexpr std::uint32_t SetWindowExt = 0x020C;
inline constexpr std::uint32_t LineTo = 0x0213;
inline constexpr std::uint32_t MoveTo = 0x0214;
inline constexpr std::uint32_t SelectObject = 0x012D;
inline constexpr std::uint32_t DeleteObject = 0x01F0;
inline constexpr std::uint32_t CreatePen = 0x02FA;
inline constexpr std::uint32_t CreateFont = 0x02FB;
inline constexpr std::uint32_t CreateBrush = 0x02FC;
inline constexpr std::uint32_t Ellipse = 0x0418;
inline constexpr std::uint32_t Rectangle = 0x041B;
inline constexpr std::uint32_t Pie = 0x081A;
inline constexpr std::uint32_t ExtTextOut = 0x0A32;
inline constexpr std::uint32_t Eof = 0x0000;
}  // namespace wmf

namespace emf {
inline constexpr std::uint32_t Header = 1;
inline constexpr std::uint32_t Eof = 14;
inline constexpr std::uint32_t SetBkMode = 18;
inline constexpr std::uint32_t SetTextColor = 24;
inline constexpr std::uint32_t MoveToEx = 27;
inline constexpr std::uint32_t SelectObject = 37;
inline constexpr std::uint32_t CreatePen = 38;
inline constexpr std::uint32_t CreateBrush = 39;
inline constexpr std::uint32_t DeleteObject = 40;
inline constexpr std::uint32_t Ellipse = 42;
inline constexpr std::uint32_t Rectangle = 43;
inline constexpr std::uint32_t Pie = 47;
inline constexpr std::uint32_t LineTo = 54;
inline constexpr std::uint32_t CreateFont = 82;
inline constexpr std::uint32_t ExtTextOutW = 84;
}  // namespace emf

// Follows the object table through the records: WMF create records take the lowest free index,
// EMF ones name theirs; select and delete records must name a live object, and a selected
// object is never deleted. Stock objects (EMF, top bit set) need no create record.
class ObjectTable {
public:
    explicit ObjectTable(bool emf) : emf_(emf) {}

    void Create(std::uint32_t kind, std::uint32_t index, Objects& objects) {
        if (!emf_) {
            index = 0;
            while (live_.count(index)) ++index;
        }
        EXPECT_FALSE(live_.count(index)) << "object " << index << " created twice";
        EXPECT_TRUE(!emf_ || index > 0) << "EMF object index 0 is reserved";
        live_[index] = kind;
        justCreated_ = index;
        objects.created.push_back(index);
        objects.highest = std::max(objects.highest, index);
    }
    // Called for every record: the one after a create selects what was created, so an index the
    // writer thinks it made is the one a reader gave it.
    void Next(std::uint32_t type, std::uint32_t selectType, std::uint32_t selected) {
        if (justCreated_) {
            EXPECT_EQ(type, selectType) << "a create record is followed by its select";
            if (type == selectType) {
                EXPECT_EQ(selected, *justCreated_) << "selects another index";
            }
        }
        justCreated_.reset();
    }
    void Select(std::uint32_t index) {
        if (emf_ && (index & 0x80000000u)) {
            // A stock object takes the place of the selected object of its kind.
            const std::uint32_t stock = index & 0x7FFFFFFFu;
            selected_.erase(stock <= 5   ? emf::CreateBrush
                            : stock <= 8 ? emf::CreatePen
                                         : emf::CreateFont);
            return;
        }
        ASSERT_TRUE(live_.count(index)) << "selects object " << index << ", which is not live";
        selected_[live_[index]] = index;
    }
    void Delete(std::uint32_t index) {
        ASSERT_TRUE(live_.count(index)) << "deletes object " << index << ", which is not live";
        const auto selected = selected_.find(live_[index]);
        EXPECT_FALSE(selected != selected_.end() && selected->second == index)
            << "deletes the selected object " << index;
        if (selected != selected_.end() && selected->second == index) selected_.erase(selected);
        live_.erase(index);
    }

private:
    bool emf_;
    std::optional<std::uint32_t> justCreated_;
    std::map<std::uint32_t, std::uint32_t> live_;      // index → kind of object
    std::map<std::uint32_t, std::uint32_t> selected_;  // kind → index
};

// Reads a placeable WMF and checks its two headers and the record sizes.
inline Metafile ReadWmf(const QByteArray& file) {
    Metafile m;
    EXPECT_GE(file.size(), 22 + 18 + 6);
    if (file.size() < 22 + 18 + 6) return m;
    EXPECT_EQ(U32(file, 0), 0x9AC6CDD7u) << "placeable key";
    EXPECT_EQ(U16(file, 4), 0u);
    EXPECT_EQ(I16(file, 6), 0);
    EXPECT_EQ(I16(file, 8), 0);
    m.width = I16(file, 10);
    m.height = I16(file, 12);
    EXPECT_EQ(U16(file, 14), 96u) << "units per inch";
    EXPECT_EQ(U32(file, 16), 0u);
    std::uint32_t checksum = 0;
    for (int i = 0; i < 20; i += 2) checksum ^= U16(file, i);
    EXPECT_EQ(U16(file, 20), checksum) << "placeable checksum";

    const QByteArray header = file.mid(22, 18);
    EXPECT_EQ(U16(header, 0), 1u);
    EXPECT_EQ(U16(header, 2), 9u) << "header size in words";
    EXPECT_EQ(U16(header, 4), 0x0300u);
    EXPECT_EQ(qsizetype(U32(header, 6)) * 2, file.size() - 22) << "file size in words";
    EXPECT_EQ(U16(header, 16), 0u);

    ObjectTable table(false);
    std::uint32_t largest = 0;
    qsizetype at = 22 + 18;
    while (at < file.size()) {
        EXPECT_TRUE(m.records.empty() || m.records.back().type != wmf::Eof) << "records after EOF";
        EXPECT_LE(at + 6, file.size()) << "record header cut at " << at;
        if (at + 6 > file.size()) break;
        const std::uint32_t words = U32(file, at);
        EXPECT_GE(words, 3u) << "record at " << at;
        EXPECT_LE(at + qsizetype(words) * 2, file.size()) << "record at " << at << " too long";
        if (words < 3 || at + qsizetype(words) * 2 > file.size()) break;
        Record r{U16(file, at + 4), file.mid(at + 6, qsizetype(words) * 2 - 6)};
        largest = std::max(largest, words);
        table.Next(r.type, wmf::SelectObject, r.params.size() >= 2 ? U16(r.params, 0) : 0);
        switch (r.type) {
            case wmf::CreatePen:
            case wmf::CreateBrush:
            case wmf::CreateFont:
                table.Create(r.type, 0, m.objects);
                break;
            case wmf::SelectObject:
                table.Select(U16(r.params, 0));
                break;
            case wmf::DeleteObject:
                table.Delete(U16(r.params, 0));
                break;
        }
        m.records.push_back(r);
        at += qsizetype(words) * 2;
    }
    EXPECT_TRUE(!m.records.empty() && m.records.back().type == wmf::Eof &&
                m.records.back().params.isEmpty())
        << "the last record is META_EOF";
    EXPECT_EQ(U32(header, 12), largest) << "largest record in words";
    const std::uint32_t objects = U16(header, 10);
    EXPECT_TRUE(m.objects.created.empty() || m.objects.highest < objects)
        << "object table of " << objects << " holds index " << m.objects.highest;
    EXPECT_EQ(objects, m.objects.created.empty() ? 0 : m.objects.highest + 1)
        << "object table size";
    return m;
}

// Reads an EMF and checks its header and the record sizes.
inline Metafile ReadEmf(const QByteArray& file) {
    Metafile m;
    EXPECT_GE(file.size(), 108 + 20);
    if (file.size() < 108 + 20) return m;
    EXPECT_EQ(U32(file, 0), 1u);
    EXPECT_EQ(U32(file, 4), 108u) << "header size";
    EXPECT_EQ(I32(file, 8), 0);
    EXPECT_EQ(I32(file, 12), 0);
    m.width = I32(file, 16) + 1;
    m.height = I32(file, 20) + 1;
    EXPECT_EQ(I32(file, 24), 0);
    EXPECT_EQ(I32(file, 28), 0);
    // The frame in hundredths of a millimetre, on the header's own reference device.
    const double mmPerPixelX = I32(file, 80) / double(I32(file, 72));
    const double mmPerPixelY = I32(file, 84) / double(I32(file, 76));
    EXPECT_NEAR(I32(file, 32), m.width * 100 * mmPerPixelX, 0.5) << "frame right";
    EXPECT_NEAR(I32(file, 36), m.height * 100 * mmPerPixelY, 0.5) << "frame bottom";
    EXPECT_NEAR(25.4 / mmPerPixelX, 96, 0.5) << "about 96 dots per inch";
    EXPECT_EQ(U32(file, 40), 0x464D4520u) << "signature";
    EXPECT_EQ(U32(file, 44), 0x00010000u);
    EXPECT_EQ(qsizetype(U32(file, 48)), file.size()) << "file size";
    EXPECT_EQ(U32(file, 60), 0u) << "no description";
    EXPECT_EQ(U32(file, 100), U32(file, 80) * 1000) << "micrometres";
    EXPECT_EQ(U32(file, 104), U32(file, 84) * 1000);

    ObjectTable table(true);
    qsizetype at = 0;
    while (at < file.size()) {
        EXPECT_TRUE(m.records.empty() || m.records.back().type != emf::Eof) << "records after EOF";
        EXPECT_LE(at + 8, file.size()) << "record header cut at " << at;
        if (at + 8 > file.size()) break;
        const std::uint32_t size = U32(file, at + 4);
        EXPECT_EQ(size % 4, 0u) << "record at " << at;
        EXPECT_GE(size, 8u) << "record at " << at;
        EXPECT_LE(at + qsizetype(size), file.size()) << "record at " << at << " too long";
        if (size < 8 || at + qsizetype(size) > file.size()) break;
        Record r{U32(file, at), file.mid(at + 8, qsizetype(size) - 8)};
        EXPECT_EQ(r.type == emf::Header, at == 0) << "the header comes first and once";
        table.Next(r.type, emf::SelectObject, r.params.size() >= 4 ? U32(r.params, 0) : 0);
        switch (r.type) {
            case emf::CreatePen:
            case emf::CreateBrush:
            case emf::CreateFont:
                table.Create(r.type, U32(r.params, 0), m.objects);
                break;
            case emf::SelectObject:
                table.Select(U32(r.params, 0));
                break;
            case emf::DeleteObject:
                EXPECT_EQ(U32(r.params, 0) & 0x80000000u, 0u) << "deletes a stock object";
                table.Delete(U32(r.params, 0));
                break;
        }
        m.records.push_back(r);
        at += qsizetype(size);
    }
    EXPECT_EQ(qsizetype(U32(file, 52)), qsizetype(m.records.size())) << "record count";
    const bool endsWithEof = !m.records.empty() && m.records.back().type == emf::Eof;
    EXPECT_TRUE(endsWithEof) << "the last record is EMR_EOF";
    if (endsWithEof) {
        const QByteArray& eof = m.records.back().params;
        EXPECT_EQ(eof.size(), 12);
        if (eof.size() == 12) {
            EXPECT_EQ(U32(eof, 8), 20u) << "EOF size last";
        }
    }
    const std::uint32_t handles = U16(file, 56);
    EXPECT_GT(handles, m.objects.highest) << "handles must exceed every index";
    EXPECT_EQ(handles, m.objects.highest + 1);
    return m;
}

// The text of a META_EXTTEXTOUT as its bytes, and its advances.
struct WmfText {
    int x = 0, y = 0;
    QByteArray bytes;
    std::vector<int> dx;
};
inline WmfText ReadWmfText(const Record& r) {
    WmfText t;
    t.y = I16(r.params, 0);
    t.x = I16(r.params, 2);
    const int n = I16(r.params, 4);
    EXPECT_EQ(U16(r.params, 6), 0u) << "options";
    t.bytes = r.params.mid(8, n);
    const qsizetype dxAt = 8 + (n + 1) / 2 * 2;
    EXPECT_EQ(r.params.size(), dxAt + 2 * n) << "record size";
    for (int i = 0; i < n && dxAt + 2 * i + 1 < r.params.size(); ++i) {
        t.dx.push_back(I16(r.params, dxAt + 2 * i));
    }
    return t;
}

// The text of an EMR_EXTTEXTOUTW, and its advances. Offsets in the record count from its start,
// 8 bytes before the parameters.
struct EmfText {
    int x = 0, y = 0;
    QString text;
    std::vector<int> dx;
};
inline EmfText ReadEmfText(const Record& r) {
    EmfText t;
    const QByteArray& p = r.params;
    EXPECT_EQ(U32(p, 16), 1u) << "graphics mode";
    t.x = I32(p, 28);
    t.y = I32(p, 32);
    const int n = I32(p, 36);
    const qsizetype offString = U32(p, 40), offDx = U32(p, 64);
    EXPECT_EQ(offString, 76);
    EXPECT_EQ(U32(p, 44) & 0x100u, 0u) << "the rectangle is present";
    EXPECT_EQ(offDx, 76 + 4 * ((n + 1) / 2));
    EXPECT_EQ(p.size() + 8, offDx + 4 * n) << "record size";
    for (int i = 0; i < n; ++i) t.text.append(QChar(char16_t(U16(p, offString - 8 + 2 * i))));
    for (int i = 0; i < n && offDx - 8 + 4 * i + 3 < p.size(); ++i) {
        t.dx.push_back(I32(p, offDx - 8 + 4 * i));
    }
    return t;
}

}  // namespace metafiles
