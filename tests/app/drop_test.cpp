// drop_test.cpp - a file dropped on the window loads as one chosen in the
// dialog; drags of anything but a local file are left alone. The drop is a
// QDropEvent sent to the GL window as Qt's drag and drop delivers one.
#include <QAction>
#include <QCoreApplication>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>
#include <QWidget>
#include <QWindow>
#include <gtest/gtest.h>

#include "app/files.h"
#include "app/gui.h"
#include "app/menus.h"
#include "app/viewstate.h"
#include "apptest.h"
#include "molecule/molecule.h"

// The GL window that the library embeds in the main window.
static QWindow *glWindow()
{
    for (QWindow *window : QGuiApplication::allWindows())
        if (window != mainBox->windowHandle() && window->parent() == mainBox->windowHandle() &&
            window->surfaceType() == QSurface::OpenGLSurface)
            return window;
    return nullptr;
}

TEST(Drop, FileDroppedOnTheWindowLoads)
{
    resetSettings();
    const std::string path = scratchDir() + "/dropped.cif";
    writeFile(path, "data_d\nloop_\n_atom_site.id\n_atom_site.type_symbol\n_atom_site.label_atom_id\n"
                    "_atom_site.label_comp_id\n_atom_site.auth_asym_id\n_atom_site.Cartn_x\n"
                    "_atom_site.Cartn_y\n_atom_site.Cartn_z\n"
                    "1 C C1 LIG AB 0 0 0\n2 C C2 LIG AB 1.5 0 0\n3 O O3 LIG AB 2.3 1.1 0\n");
    QWindow *target = glWindow();
    ASSERT_NE(target, nullptr);

    // Text is no file: the drag is not taken.
    QMimeData text;
    text.setText(QStringLiteral("not a file"));
    QDragEnterEvent refused(QPoint(20, 20), Qt::CopyAction, &text, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &refused);
    EXPECT_FALSE(refused.isAccepted());

    QMimeData file;
    file.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &file, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    EXPECT_TRUE(enter.isAccepted());

    ConsoleCapture console;
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &file, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    // Qt may deliver a drop between two draws of a frame: the file loads
    // only in the next event check.
    EXPECT_TRUE(currentFile == nullptr || std::string(currentFile) != path);
    runUntilReady();
    std::string out = console.text();
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_NE(out.find("\nPDB File Found " + path + "\n3 atoms found"), std::string::npos) << out;
    EXPECT_NE(out.find("Ready\n"), std::string::npos) << out;
    ASSERT_NE(currentFile, nullptr);
    EXPECT_EQ(std::string(currentFile), path);
    EXPECT_EQ(readFile(scratchDir() + "/recentpdb.txt").substr(0, path.size() + 1), path + "\n");
    EXPECT_STREQ(atomNames[1].chain, "AB");

    // "Draw Unbonded Atoms" reads the dropped file again.
    ConsoleCapture again;
    gui->drawUnbondedAtoms();
    runUntilReady();
    out = again.text();
    EXPECT_NE(out.find("\nPDB File Found " + path + "\n3 atoms found"), std::string::npos) << out;
    gui->drawUnbondedAtoms();
}
