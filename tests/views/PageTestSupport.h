#pragma once
// Pages tried on their own, without the main window: the settings loaded as the window loads
// them, and folders presented as the window presents them.

#include <gtest/gtest.h>

#include <QLabel>
#include <QTableWidget>
#include <memory>

#include "config/AppConfiguration.h"
#include "engine/FolderTree.h"
#include "engine/Scanner.h"
#include "engine/VolumeFacts.h"
#include "tests/fixtures/TempTree.h"
#include "views/ViewPage.h"

class PageTest : public ::testing::Test {
protected:
    void SetUp() override { LoadSettings(); }
    void TearDown() override {
        (void)SaveSettings();
        engine::ScannedDrives().Clear();
        engine::ClusterSizeChoice = 0;
    }

    // Scans the drive (once) and returns the node of a folder on it ("" for the root).
    engine::TFolderNode* Scanned(const QString& relative) {
        if (!top) {
            engine::DriveRecord* record = engine::ScannedDrives().Add(drive.letter());
            top = engine::ScanDrive(
                tree, QChar(drive.letter()) + engine::DriveDisplayName(drive.root()), *record, {});
        }
        return relative.isEmpty() ? top : engine::FindNodeByPath(top, relative, true);
    }
    // Presents a node as the window does.
    static void Show(TViewPage& page, engine::TFolderNode* node) {
        page.Present({node, engine::NodePath(node), QChar(engine::NodePath(node)[0]), 4096,
                      1'000'000'000, 500'000'000, optIncludeWastedInformation->Value});
    }
    template <typename T = QLabel>
    static T* Control(const QWidget& page, const char* name) {
        T* control = page.findChild<T*>(QLatin1String(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }

    testing_support::TempDrive drive;
    engine::TFolderTree tree;
    engine::TFolderNode* top = nullptr;
};
