// The option framework: how stored values read as typed values, the binary buffer rules, the
// errors and their messages, and groups that stop at a failing option.
#include <gtest/gtest.h>

#include <QString>
#include <array>
#include <variant>

#include "config/Options.h"
#include "tests/fixtures/QtPrinters.h"
#include "tests/fixtures/SettingsHome.h"

using config::SettingsKey;
using config::SettingsStatus;
using config::SettingsValueType;

namespace {

const QString kKey = QStringLiteral("Software\\Norvane\\Quillon Pro");
const QString kSection = QStringLiteral("Options");
const QString kSectionKey = kKey + QStringLiteral("\\Options");

// The message a call throws, or an empty text when it throws nothing.
template <class Call>
QString MessageOf(Call call) {
    try {
        call();
    } catch (const ERegistryException& e) {
        return e.Message();
    }
    return {};
}

}  // namespace

TEST(IntegerOfText, ReadsDecimalAndHexadecimalTextAndFallsBackOnAnythingElse) {
    const struct {
        const char* text;
        int32_t expected;
    } cases[] = {
        {"0x1F", 31},
        {"0X1f", 31},
        {"0xFFFFFFFF", -1},
        {"0x000000010", 16},
        {"0x", -99},
        {"0x100000000", -99},
        {"0xG", -99},
        {"0x-1", -99},
        {"-5", -5},
        {"0", 0},
        {"007", 7},
        {"+7", 7},
        {"2147483647", 2147483647},
        {"2147483648", -99},
        {"-2147483648", INT32_MIN},
        {"-2147483649", -99},
        {"yes", -99},
        {"", -99},
        {"-", -99},
        {" 5", -99},
        {"5 ", -99},
        {"12abc", -99},
        {"1.5", -99},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IntegerOfText(QString::fromLatin1(c.text), -99), c.expected) << c.text;
}

TEST(TBinRegIniFile, ReadsStoredTextAsTheTypedValueOrFailsOnAnotherType) {
    using Result = std::variant<int32_t, bool, QString>;
    enum Reader { Int, Bool, Str };
    const struct {
        SettingsValueType type;
        QByteArray data;
        Reader reader;
        Result fallback;
        Result expected;  // a QString starting with '!' is the message thrown
    } cases[] = {
        {SettingsValueType::String, "0x1F", Int, 5, 31},
        {SettingsValueType::String, "0x", Int, 5, 5},
        {SettingsValueType::String, "-1", Int, 5, -1},
        {SettingsValueType::String, "yes", Int, 5, 5},
        {SettingsValueType::ExpandString, "12", Int, 5, 12},
        {SettingsValueType::String, "7", Bool, false, true},
        {SettingsValueType::String, "2", Bool, false, true},
        {SettingsValueType::String, "0x10", Bool, false, true},
        {SettingsValueType::String, "-1", Bool, false, true},
        {SettingsValueType::String, "0", Bool, true, false},
        {SettingsValueType::String, "yes", Bool, true, true},
        {SettingsValueType::String, "yes", Bool, false, false},
        {SettingsValueType::String, QByteArray("ab\0cd", 5), Str, QString(), QStringLiteral("ab")},
        {SettingsValueType::ExpandString, "%HOME%", Str, QString(), QStringLiteral("%HOME%")},
        {SettingsValueType::DWord, QByteArray(4, '\1'), Str, QString(),
         QStringLiteral("!Invalid data type for 'V'")},
        {SettingsValueType::DWord, QByteArray(4, '\1'), Int, 5,
         QStringLiteral("!Invalid data type for 'V'")},
        {SettingsValueType::Binary, "1", Bool, false, QStringLiteral("!Invalid data type for 'V'")},
    };
    for (const auto& c : cases) {
        SettingsHome home;
        home.put(kSectionKey, QStringLiteral("V"), c.type, c.data);
        TBinRegIniFile store(kKey);
        Result got;
        const QString message = MessageOf([&] {
            switch (c.reader) {
                case Int:
                    got = store.ReadInteger(kSection, "V", std::get<int32_t>(c.fallback));
                    break;
                case Bool:
                    got = store.ReadBool(kSection, "V", std::get<bool>(c.fallback));
                    break;
                case Str:
                    got = store.ReadString(kSection, "V", std::get<QString>(c.fallback));
                    break;
            }
        });
        const QString* expectedText = std::get_if<QString>(&c.expected);
        if (expectedText && expectedText->startsWith(u'!')) {
            EXPECT_EQ(message, expectedText->mid(1)) << c.data.data();
        } else {
            EXPECT_EQ(message, QString()) << c.data.data();
            EXPECT_TRUE(got == c.expected) << c.data.data() << " read as " << c.reader;
        }
    }
}

TEST(TBinRegIniFile, AbsentValuesAndSectionsGiveTheDefault) {
    SettingsHome home;
    home.put(kSectionKey, QStringLiteral("Other"), SettingsValueType::String, "1");
    TBinRegIniFile store(kKey);
    EXPECT_EQ(store.ReadInteger(kSection, "Missing", 42), 42);
    EXPECT_EQ(store.ReadString(QStringLiteral("NoSuchSection"), "Other", "d"), QStringLiteral("d"));
    EXPECT_TRUE(store.ReadBool(QStringLiteral("NoSuchSection"), "Other", true));
    EXPECT_EQ(RegReadInteger(QStringLiteral("Software\\Nobody"), kSection, "Other", -3), -3);
}

TEST(TBinRegIniFile, ReadBinaryCopiesWhatFitsAndFailsOnWhatDoesNot) {
    SettingsHome home;
    const QByteArray forty(40, '\x11');
    RegWriteBinary(kKey, kSection, QStringLiteral("Forty"), forty.size(), forty.constData());
    RegWriteBinary(kKey, kSection, QStringLiteral("Hundred"), 100,
                   QByteArray(100, 'h').constData());
    RegWriteString(kKey, kSection, QStringLiteral("Text"), QStringLiteral("abc"));

    std::array<char, 72> buffer;
    buffer.fill('\xAA');
    EXPECT_EQ(RegReadBinary(kKey, kSection, QStringLiteral("Missing"), 72, buffer.data()), 0);
    EXPECT_EQ(
        RegReadBinary(kKey, QStringLiteral("Nowhere"), QStringLiteral("Forty"), 72, buffer.data()),
        0);
    EXPECT_EQ(QByteArray(buffer.data(), 72), QByteArray(72, '\xAA'));

    EXPECT_EQ(RegReadBinary(kKey, kSection, QStringLiteral("Forty"), 72, buffer.data()), 40);
    EXPECT_EQ(QByteArray(buffer.data(), 72), forty + QByteArray(32, '\xAA'));

    EXPECT_EQ(MessageOf([&] {
                  RegReadBinary(kKey, kSection, QStringLiteral("Hundred"), 72, buffer.data());
              }),
              QStringLiteral("Invalid data type for 'Hundred'"));
    EXPECT_EQ(MessageOf([&] {
                  RegReadBinary(kKey, kSection, QStringLiteral("Text"), 72, buffer.data());
              }),
              QStringLiteral("Invalid data type for 'Text'"));
    EXPECT_EQ(QByteArray(buffer.data(), 72), forty + QByteArray(32, '\xAA'));

    // A binary write replaces a value of another type.
    RegWriteBinary(kKey, kSection, QStringLiteral("Text"), 3, "xyz");
    EXPECT_EQ(RegReadBinary(kKey, kSection, QStringLiteral("Text"), 72, buffer.data()), 3);
    EXPECT_EQ(QByteArray(buffer.data(), 3), QByteArray("xyz"));
}

TEST(TBinRegIniFile, WritesNumbersAndBooleansAsText) {
    SettingsHome home;
    RegWriteInteger(kKey, kSection, QStringLiteral("Minus"), -1);
    RegWriteInteger(kKey, kSection, QStringLiteral("Least"), INT32_MIN);
    RegWriteBool(kKey, kSection, QStringLiteral("Yes"), true);
    RegWriteBool(kKey, kSection, QStringLiteral("No"), false);
    const QByteArray text = home.text();
    EXPECT_TRUE(text.contains("\"Minus\"=\"-1\"\r\n"));
    EXPECT_TRUE(text.contains("\"Least\"=\"-2147483648\"\r\n"));
    EXPECT_TRUE(text.contains("\"Yes\"=\"1\"\r\n"));
    EXPECT_TRUE(text.contains("\"No\"=\"0\"\r\n"));
    EXPECT_EQ(RegReadInteger(kKey, kSection, QStringLiteral("Least"), 0), INT32_MIN);
}

TEST(TBinRegIniFile, FailedWritesCarryTheStoresMessages) {
    {
        SettingsHome home;
        home.block();
        EXPECT_EQ(MessageOf([] { RegWriteString(kKey, kSection, "Name", "x"); }),
                  QStringLiteral("Failed to create key Options"));
    }
    SettingsHome home;
    RegWriteString(kKey, kSection, QStringLiteral("Keep"), QStringLiteral("me"));
    const QByteArray before = home.text();
    {
        FileSizeLimit limit(before.size() + 64);
        EXPECT_EQ(
            MessageOf([] { RegWriteBinary(kKey, kSection, "Big", 500, QByteArray(500, 'b')); }),
            QStringLiteral("Failed to set data for 'Big'"));
    }
    EXPECT_EQ(home.text(), before);
}

TEST(TOptions, AnEmptyStoreGivesTheDefaultsAndGetsNoValue) {
    SettingsHome home;
    TOptions group(kKey, kSection);
    auto* number = group.AddInt(QStringLiteral("Number"), -7);
    auto* flag = group.AddBool(QStringLiteral("Flag"), true);
    auto* text = group.AddStr(QStringLiteral("Text"), QStringLiteral("abc"));
    EXPECT_EQ(number->Value, -7);
    group.Load();
    EXPECT_EQ(number->Value, -7);
    EXPECT_TRUE(flag->Value);
    EXPECT_EQ(text->Value, QStringLiteral("abc"));
    EXPECT_FALSE(home.text().contains('='));
}

TEST(TOptions, SavingAndLoadingAgainReproducesEveryValue) {
    SettingsHome home;
    {
        TOptions group(kKey, kSection);
        group.AddInt(QStringLiteral("Number"), 3)->Value = -1;
        group.AddBool(QStringLiteral("Flag"), true)->Value = false;
        group.AddStr(QStringLiteral("Text"), QString())->Value = QStringLiteral("say \"hi\"\n");
        group.Save();
    }
    TOptions group(kKey, kSection);
    auto* number = group.AddInt(QStringLiteral("Number"), 3);
    auto* flag = group.AddBool(QStringLiteral("Flag"), true);
    auto* text = group.AddStr(QStringLiteral("Text"), QString());
    group.Load();
    EXPECT_EQ(number->Value, -1);
    EXPECT_FALSE(flag->Value);
    EXPECT_EQ(text->Value, QStringLiteral("say \"hi\"\n"));
}

TEST(TOptions, AnErrorEndsTheLoopAtTheFailingOption) {
    SettingsHome home;
    RegWriteInteger(kKey, kSection, QStringLiteral("First"), 1);
    home.put(kSectionKey, QStringLiteral("Second"), SettingsValueType::DWord, QByteArray(4, '\2'));
    RegWriteInteger(kKey, kSection, QStringLiteral("Third"), 3);

    TOptions group(kKey, kSection);
    auto* first = group.AddInt(QStringLiteral("First"), 0);
    auto* second = group.AddInt(QStringLiteral("Second"), 0);
    auto* third = group.AddInt(QStringLiteral("Third"), 0);
    for (auto* option : {first, second, third}) option->Value = 100;
    EXPECT_EQ(MessageOf([&] { group.Load(); }), QStringLiteral("Invalid data type for 'Second'"));
    EXPECT_EQ(first->Value, 1);
    EXPECT_EQ(second->Value, 100);
    EXPECT_EQ(third->Value, 100);
}
