// filemenu_test.cpp - the File menu as it is drawn, not only its list of
// items: an empty "recentpdb.txt" shows two separators between "Load PDB
// Structure..." and "Exit", a missing one shows one.
#include <unistd.h>

#include <string>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QThread>
#include <gtest/gtest.h>

#include "app/files.h"
#include "app/menus.h"
#include "apptest.h"

namespace {

struct ShownMenu {
    std::vector<QRect> separators;   // where each separator is drawn (empty when hidden)
    QRect load, exit;                // the two command rows
    int height = 0;
    int lines = 0;                   // separator lines found in the picture between the rows
};

// Opens the File menu on the screen, measures and photographs it, closes it.
ShownMenu showFileMenu()
{
    ShownMenu shown;
    fileMenu->popup(QPoint(40, 40));
    for (int i = 0; i < 50 && !fileMenu->isVisible(); ++i) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
    for (int i = 0; i < 10; ++i) {
        QApplication::processEvents();
        QThread::msleep(10);
    }
    shown.height = fileMenu->height();
    for (QAction *item : fileMenu->actions()) {
        QRect where = fileMenu->actionGeometry(item);
        if (item->isSeparator())
            shown.separators.push_back(where);
        else if (item == loadPdbItem)
            shown.load = where;
        else if (item == exitItem)
            shown.exit = where;
    }

    // Rows between the two commands that are drawn across most of the menu's
    // width in a colour other than the background: runs of them are lines.
    QImage picture = fileMenu->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const qreal scale = picture.width() / (qreal)fileMenu->width();
    const int x0 = (int)(shown.load.left() * scale), x1 = (int)(shown.load.right() * scale);
    const QRgb background = picture.pixel(x0 + 2, (int)((shown.load.bottom() + 1) * scale));
    bool inLine = false;
    for (int y = (int)((shown.load.bottom() + 1) * scale); y < (int)(shown.exit.top() * scale); ++y) {
        int marked = 0;
        for (int x = x0; x <= x1; ++x) {
            QRgb p = picture.pixel(x, y);
            int d = abs(qRed(p) - qRed(background)) + abs(qGreen(p) - qGreen(background)) +
                    abs(qBlue(p) - qBlue(background));
            marked += d > 24;
        }
        bool line = marked > (x1 - x0) / 2;
        shown.lines += line && !inLine;
        inLine = line;
    }
    fileMenu->hide();
    QApplication::processEvents();
    return shown;
}

}  // namespace

// A missing list: one separator; an empty list: two, each drawn as its own
// line with its own gap, so the menu is one separator taller.
TEST(FileMenu, EmptyRecentListShowsBothSeparators)
{
    const std::string list = scratchDir() + "/recentpdb.txt";
    unlink(list.c_str());
    updateRecentFiles();
    ASSERT_EQ(menuLabels(fileMenu), (std::vector<std::string>{"Load PDB Structure...", "-", "Exit"}));
    ShownMenu missing = showFileMenu();
    ASSERT_EQ(missing.separators.size(), 1u);
    EXPECT_TRUE(missing.separators[0].isValid());
    EXPECT_EQ(missing.lines, 1);

    writeFile(list, "");
    updateRecentFiles();
    ASSERT_EQ(menuLabels(fileMenu), (std::vector<std::string>{"Load PDB Structure...", "-", "-", "Exit"}));
    ShownMenu empty = showFileMenu();
    ASSERT_EQ(empty.separators.size(), 2u);
    const QRect upper = empty.separators[0], lower = empty.separators[1];
    EXPECT_TRUE(upper.isValid() && upper.height() > 0);
    EXPECT_TRUE(lower.isValid() && lower.height() > 0);
    EXPECT_LE(empty.load.bottom(), upper.top());
    EXPECT_LE(upper.bottom(), lower.top());
    EXPECT_LE(lower.bottom(), empty.exit.top());
    EXPECT_EQ(empty.height - missing.height, lower.height());
    EXPECT_EQ(empty.lines, 2);

    // Rebuilt again and again, the menu keeps only live items.
    for (int i = 0; i < 3; ++i)
        updateRecentFiles();
    EXPECT_EQ(fileMenu->actions().size(), 4);
    EXPECT_EQ(fileMenu->actions().back(), exitItem);
    EXPECT_EQ(fileMenu->actions()[2], recentSeparator);
    unlink(list.c_str());
    updateRecentFiles();
    EXPECT_EQ(recentSeparator, nullptr);
}
