// "ADDONS.INI" over any bytes: reading it gives one tool per line or the documented failure,
// and the comma-text splitting gives back exactly the fields a line was made of.
#include <QStringList>

#include "app/Addons.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

// Fields written the way comma text quotes them: every field in quotes, quotes doubled.
QString JoinQuoted(const QStringList& fields) {
    QStringList quoted;
    for (QString field : fields)
        quoted << u'"' + field.replace(u'"', QStringLiteral("\"\"")) + u'"';
    return quoted.join(u',');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz_support::Environment environment;
    const QByteArray bytes = fuzz_support::BytesOf(data, size);

    const QString file = environment.Path(QStringLiteral("ADDONS.INI"));
    if (!fuzz_support::WriteFile(file, bytes)) return 0;
    try {
        const std::vector<AddonTool> tools = ReadAddonTools(file);
        FUZZ_CHECK(tools.size() <= size_t(bytes.count('\n')) + 1, QString::number(tools.size()));
    } catch (const std::runtime_error&) {
        // A line with fewer than three fields: the program's start fails with its box.
    }

    const QString text = QString::fromUtf8(bytes);
    for (const QString& line : text.split(u'\n')) SplitCommaText(line);
    // Any texts survive a quoted line: the input's pieces between the byte 0x01 are the fields.
    const QStringList fields = text.split(QChar(1));
    const QStringList back = SplitCommaText(JoinQuoted(fields));
    FUZZ_CHECK(back == fields, JoinQuoted(fields));
    return 0;
}
