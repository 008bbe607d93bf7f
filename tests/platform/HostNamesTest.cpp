#include <gtest/gtest.h>

#include "platform/HostNames.h"

using namespace platform;

TEST(HostNames, RoundTripsEveryKindOfName) {
    const QByteArray names[] = {
        "plain",
        "caf\xc3\xa9",             // UTF-8
        "emoji_\xf0\x9f\x98\x80",  // beyond the basic plane
        "latin1_\xe9t\xe9",        // not UTF-8
        "\xff\xfe",                // no valid byte at all
        "cut_\xe6\x97",            // a sequence that ends too early
        "overlong_\xc0\xaf",       // an overlong '/' must not decode to '/'
        "surrogate_\xed\xa0\x80",  // an encoded surrogate is not UTF-8
    };
    for (const QByteArray& bytes : names) {
        const QString name = DecodeHostName(bytes);
        EXPECT_EQ(EncodeHostName(name), bytes) << bytes.toHex().toStdString();
        EXPECT_FALSE(name.contains(u'/'));
    }
}

TEST(HostNames, ValidUtf8DecodesAsText) {
    EXPECT_EQ(DecodeHostName(QByteArray("caf\xc3\xa9")), QStringLiteral("café"));
    EXPECT_EQ(DecodeHostName(QByteArray("\xe6\x97\xa5\xe6\x9c\xac")), QStringLiteral("日本"));
    // An invalid byte shows as one escaped character in place; the rest stays readable.
    const QString mixed = DecodeHostName(QByteArray("a\xe9z"));
    ASSERT_EQ(mixed.size(), 3);
    EXPECT_EQ(mixed[0], u'a');
    EXPECT_EQ(mixed[1].unicode(), 0xDCE9);
    EXPECT_EQ(mixed[2], u'z');
}
