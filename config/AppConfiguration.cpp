#include "config/AppConfiguration.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>

namespace {

const QString kOptions = QStringLiteral("Options");
const QString kDesktop = QStringLiteral("Desktop");

// The settings table: kind, value name and default, in the order of loading and saving.
#define QUILLON_OPTIONS_SECTION(X)           \
    X(Bool, IncludeWastedInformation, true)  \
    X(Bool, ShowFileNames, true)             \
    X(Int, ShowPercentInPie, 1)              \
    X(Bool, AutoExpand, true)                \
    X(Bool, AutoCollapse, true)              \
    X(Bool, SortAscending, false)            \
    X(Str, DrivesToAutoScan, QString())      \
    X(Bool, ZIPAddSubfolders, true)          \
    X(Bool, ZIPAddHiddenFiles, true)         \
    X(Bool, ZIPDeleteAfterCompressing, true) \
    X(Bool, ZIPPasswordProtect, false)       \
    X(Int, ZIPCompressionLevel, 9)           \
    X(Bool, ZIPDeleteArchive, true)          \
    X(Bool, CountHardLinksOnce, false)

#define QUILLON_DESKTOP_SECTION(X)      \
    X(Bool, ViewToolbar, true)          \
    X(Bool, ViewStatusBar, true)        \
    X(Bool, ViewFolderTree, true)       \
    X(Bool, PieSectionSizeWindow, true) \
    X(Bool, ShowSurvey, true)

constexpr double kDefaultFileAngle = 2.0;
constexpr double kDefaultFolderAngle = 1.0;
constexpr double kDefaultTextAngle = 5.0;
constexpr int32_t kAbsent = INT_MAX;

}  // namespace

#define QUILLON_DEFINE_OPTION(kind, name, fallback) T##kind##Option* opt##name = nullptr;
QUILLON_OPTIONS_SECTION(QUILLON_DEFINE_OPTION)
QUILLON_DESKTOP_SECTION(QUILLON_DEFINE_OPTION)
#undef QUILLON_DEFINE_OPTION

std::unique_ptr<TOptions> OptionsGroup;
std::unique_ptr<TOptions> DesktopGroup;

const TAppColors DefaultAppColors = {
    0x80000005,  // Pie - Background: window background
    0x00000000,  // Pie - Lines
    0x0000FF00,  // Pie - Normal Folder
    0x0000FFFF,  // Pie - Files in current folder
    0x00C6FFC6,  // Pie - Other folders
    0x00FFFF00,  // Pie - File
    0x0000FFFF,  // Pie - Other files
    0x80000018,  // Pie - Text rect background: tooltip background
    0x00000000,  // Pie - Text rect lines
    0x00000000,  // Pie - Text
    0x0000FFFF,  // Pie - Text rect background (highlighted)
    0x00000000,  // Pie - Text rect lines (highlighted)
    0x00000000,  // Pie - Text (highlighted)
    0x80000005,  // Not scanned panel: window background
    0x0000FF00,  // Pie - Section Size
    0x000000FF,  // Pie - Section Wasted
    0x0000FF00,  // Pie - Free space
    0x000000FF,  // Tree Bar Chart - Bars Color
};
TAppColors AppColors = DefaultAppColors;

double MinFileSectionAngle = kDefaultFileAngle;
double MinFolderSectionAngle = kDefaultFolderAngle;
double MinTextSectionAngle = kDefaultTextAngle;

namespace {

constexpr int kColorBytes = AppColorCount * 4;

std::array<uint8_t, kColorBytes> ColorBytes(const TAppColors& colors) {
    std::array<uint8_t, kColorBytes> bytes{};
    for (int i = 0; i < AppColorCount; ++i)
        for (int b = 0; b < 4; ++b) bytes[i * 4 + b] = uint8_t(colors[i] >> (8 * b));
    return bytes;
}

TAppColors ColorsOf(const std::array<uint8_t, kColorBytes>& bytes) {
    TAppColors colors{};
    for (int i = 0; i < AppColorCount; ++i)
        for (int b = 3; b >= 0; --b) colors[i] = (colors[i] << 8) | bytes[i * 4 + b];
    return colors;
}

std::array<uint8_t, 8> AngleBytes(double angle) {
    const uint64_t bits = std::bit_cast<uint64_t>(angle);
    std::array<uint8_t, 8> bytes{};
    for (int b = 0; b < 8; ++b) bytes[b] = uint8_t(bits >> (8 * b));
    return bytes;
}

// A threshold the options dialog could have given: a whole double from 0 to 360 degrees. A
// shorter or nonsensical value would draw a pie nobody asked for, so it keeps the default.
void ReadAngle(TBinRegIniFile& store, const QString& name, double& angle) {
    std::array<uint8_t, 8> bytes{};
    if (store.ReadBinary(kOptions, name, int32_t(bytes.size()), bytes.data()) != 8) return;
    uint64_t bits = 0;
    for (int b = 7; b >= 0; --b) bits = (bits << 8) | bytes[b];
    const double value = std::bit_cast<double>(bits);
    if (std::isfinite(value) && value >= 0.0 && value <= 360.0) angle = value;
}

void WriteAngle(TBinRegIniFile& store, const QString& name, double angle) {
    const auto bytes = AngleBytes(angle);
    store.WriteBinary(kOptions, name, int32_t(bytes.size()), bytes.data());
}

void ForgetGroups() {
#define QUILLON_FORGET_OPTION(kind, name, fallback) opt##name = nullptr;
    QUILLON_OPTIONS_SECTION(QUILLON_FORGET_OPTION)
    QUILLON_DESKTOP_SECTION(QUILLON_FORGET_OPTION)
#undef QUILLON_FORGET_OPTION
    OptionsGroup.reset();
    DesktopGroup.reset();
}

int WindowStateOf(const QWidget* window) {
    const Qt::WindowStates state = window->windowState();
    if (state & Qt::WindowMinimized) return 1;
    if (state & (Qt::WindowMaximized | Qt::WindowFullScreen)) return 2;
    return 0;
}

}  // namespace

void LoadSettings() {
    ForgetGroups();
    OptionsGroup = std::make_unique<TOptions>(AppRegistryKey, kOptions);
#define QUILLON_ADD_OPTION(kind, name, fallback) \
    opt##name = OptionsGroup->Add##kind(QStringLiteral(#name), fallback);
    QUILLON_OPTIONS_SECTION(QUILLON_ADD_OPTION)
#undef QUILLON_ADD_OPTION
    DesktopGroup = std::make_unique<TOptions>(AppRegistryKey, kDesktop);
#define QUILLON_ADD_OPTION(kind, name, fallback) \
    opt##name = DesktopGroup->Add##kind(QStringLiteral(#name), fallback);
    QUILLON_DESKTOP_SECTION(QUILLON_ADD_OPTION)
#undef QUILLON_ADD_OPTION

    AppColors = DefaultAppColors;
    MinFileSectionAngle = kDefaultFileAngle;
    MinFolderSectionAngle = kDefaultFolderAngle;
    MinTextSectionAngle = kDefaultTextAngle;

    try {
        OptionsGroup->Load();
        DesktopGroup->Load();
        TBinRegIniFile store(AppRegistryKey);
        std::array<uint8_t, kColorBytes> colors{};
        if (store.ReadBinary(kOptions, QStringLiteral("Colors"), kColorBytes, colors.data()) ==
            kColorBytes)
            AppColors = ColorsOf(colors);
        ReadAngle(store, QStringLiteral("MinFileSectionAngle"), MinFileSectionAngle);
        ReadAngle(store, QStringLiteral("MinFolderSectionAngle"), MinFolderSectionAngle);
        ReadAngle(store, QStringLiteral("MinTextSectionAngle"), MinTextSectionAngle);
    } catch (const std::exception&) {
        // Settings that cannot be read keep their defaults; nobody is told.
    }

    if (optZIPCompressionLevel->Value < 0 || optZIPCompressionLevel->Value > 9)
        optZIPCompressionLevel->Value = 9;
}

QString SaveSettings() {
    if (!OptionsGroup || !DesktopGroup) return {};
    QString error;
    try {
        OptionsGroup->Save();
        DesktopGroup->Save();
        TBinRegIniFile store(AppRegistryKey);
        const auto colors = ColorBytes(AppColors);
        store.WriteBinary(kOptions, QStringLiteral("Colors"), kColorBytes, colors.data());
        WriteAngle(store, QStringLiteral("MinFileSectionAngle"), MinFileSectionAngle);
        WriteAngle(store, QStringLiteral("MinFolderSectionAngle"), MinFolderSectionAngle);
        WriteAngle(store, QStringLiteral("MinTextSectionAngle"), MinTextSectionAngle);
    } catch (const ERegistryException& e) {
        error = e.Message();
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
    }
    ForgetGroups();
    return error;
}

namespace {

// A window's place as restored: where it was when it lies on a screen, otherwise on the screen
// nearest to it, within that screen's available area.
QRect OnAScreen(const QRect& wanted) {
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.isEmpty()) return wanted;
    QRect nearest;
    qint64 distance = -1;
    for (const QScreen* screen : screens) {
        const QRect area = screen->availableGeometry();
        if (area.intersects(wanted)) return wanted;
        const QPoint d = area.center() - wanted.center();
        const qint64 now = qint64(d.x()) * d.x() + qint64(d.y()) * d.y();
        if (distance < 0 || now < distance) distance = now, nearest = area;
    }
    const QSize size = wanted.size().boundedTo(nearest.size());
    const int x = std::clamp(wanted.x(), nearest.left(), nearest.right() + 1 - size.width());
    const int y = std::clamp(wanted.y(), nearest.top(), nearest.bottom() + 1 - size.height());
    return {QPoint(x, y), size};
}

}  // namespace

void RestoreFormPlacement(QWidget* window, const QString& keyPath, const QString& section) {
    if (!window) return;
    int32_t left, top, width, height;
    try {
        TBinRegIniFile store(keyPath);
        left = store.ReadInteger(section, QStringLiteral("Left"), kAbsent);
        top = store.ReadInteger(section, QStringLiteral("Top"), kAbsent);
        width = store.ReadInteger(section, QStringLiteral("Width"), kAbsent);
        height = store.ReadInteger(section, QStringLiteral("Height"), kAbsent);
    } catch (const ERegistryException&) {
        return;
    }
    // The same geometry as was saved, the window's own area: a frame the window manager adds is
    // not known before the window is mapped, and mixing the two moved the window at every start.
    QRect place = window->geometry();
    if (left != kAbsent) place.moveLeft(left);
    if (top != kAbsent) place.moveTop(top);
    if (width != kAbsent) place.setWidth(width);
    if (height != kAbsent) place.setHeight(height);
    if (left == kAbsent && top == kAbsent && width == kAbsent && height == kAbsent) return;
    window->setGeometry(OnAScreen(place));
}

QString SaveFormPlacement(QWidget* window, const QString& keyPath, const QString& section) {
    if (!window) return {};
    const QRect place = window->geometry();
    try {
        TBinRegIniFile store(keyPath);
        store.WriteInteger(section, QStringLiteral("Left"), place.x());
        store.WriteInteger(section, QStringLiteral("Top"), place.y());
        store.WriteInteger(section, QStringLiteral("Width"), place.width());
        store.WriteInteger(section, QStringLiteral("Height"), place.height());
    } catch (const ERegistryException& e) {
        return e.Message();
    }
    return {};
}

void RestoreWindowState(QWidget* window, const QString& keyPath, const QString& section) {
    if (!window) return;
    int32_t state;
    try {
        state = RegReadInteger(keyPath, section, QStringLiteral("WindowState"), kAbsent);
    } catch (const ERegistryException&) {
        return;
    }
    static constexpr Qt::WindowStates kStates[] = {Qt::WindowNoState, Qt::WindowMinimized,
                                                   Qt::WindowMaximized};
    if (state < 0 || state > 2) return;
    const Qt::WindowStates kept =
        window->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen);
    window->setWindowState(kept | kStates[state]);
}

QString SaveWindowState(QWidget* window, const QString& keyPath, const QString& section) {
    if (!window) return {};
    try {
        RegWriteInteger(keyPath, section, QStringLiteral("WindowState"), WindowStateOf(window));
    } catch (const ERegistryException& e) {
        return e.Message();
    }
    return {};
}

QPoint CenteredPosition(const QRect& ownerFrame, const QSize& dialog, const QRect& screen) {
    const int screenRight = screen.x() + screen.width();
    const int screenBottom = screen.y() + screen.height();
    const int visibleWidth = std::min(ownerFrame.width(), screenRight - ownerFrame.x());
    const int visibleHeight = std::min(ownerFrame.height(), screenBottom - ownerFrame.y());
    // Integer division truncates toward zero, as the placement rule wants.
    int left = ownerFrame.x() + (visibleWidth - dialog.width()) / 2;
    int top = ownerFrame.y() + (visibleHeight - dialog.height()) / 2;
    if (left < screen.x()) left = screen.x();
    if (top < screen.y()) top = screen.y();
    if (left + dialog.width() > screenRight) left = screenRight - dialog.width();
    if (top + dialog.height() > screenBottom) top = screenBottom - dialog.height();
    return {left, top};
}

void CenterOnForm(QWidget* owner, QWidget* dialog) {
    if (!owner || !dialog) return;
    QScreen* screen = owner->screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    // Showing would resize a never-sized window to its layout's size after we placed it.
    if (!dialog->isVisible() && !dialog->testAttribute(Qt::WA_Resized)) dialog->adjustSize();
    dialog->move(CenteredPosition(owner->frameGeometry(), dialog->frameGeometry().size(),
                                  screen->geometry()));
}

int32_t ReadPageSetting(const TPageSetting& setting) {
    const int32_t value =
        RegReadInteger(AppRegistryKey, kOptions, QLatin1String(setting.name), setting.fallback);
    const int64_t checked = setting.magnitude ? std::abs(int64_t(value)) : value;
    return checked >= setting.min && checked <= setting.max ? value : setting.fallback;
}

void WritePageSetting(const TPageSetting& setting, int32_t value) {
    RegWriteInteger(AppRegistryKey, kOptions, QLatin1String(setting.name), value);
}
