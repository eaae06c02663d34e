// The navigation tree in both shipped languages, with the fonts their files name: every node, expanded down
// to the administration tasks, fits the tree's width, so nothing is cut and no sideways scroll bar hides the
// last node.
#include "form_parts.h"
#include "key_window_fixture.h"
#include "ui/apply_language.h"

#include <QCoreApplication>
#include <QFontInfo>
#include <QHeaderView>
#include <QScrollBar>
#include <QTimer>

namespace {

class TreeCaptionFitTest : public KeyWindowTest {
protected:
    void expandAll(QTreeWidgetItem* node) {
        node->setExpanded(true);
        for (int i = 0; i < node->childCount(); ++i)
            expandAll(node->child(i));
    }
};

} // namespace

TEST_F(TreeCaptionFitTest, EveryNodeFitsInBothShippedLanguages) {
    keys = {ScriptedKey{}, ScriptedKey{}};
    keys[0].label = "PellorZu Key 01";
    keys[1].label = "PellorZu Key 02";
    shownForm();
    part<QTimer>(form(), "TCheckInit")->stop();
    for (const char* file : {"CHS_2052.lng", "EN_1033.lng"}) {
        i18n::LoadLanguageFile(QStringLiteral(PELLORZU_SOURCE_DIR "/Languages/") + QLatin1String(file));
        ApplyLanguage(form());
        // The font the file names is installed: the window does not fall back to another one.
        EXPECT_TRUE(QFontInfo(form().font()).exactMatch() ||
                    QFontInfo(form().font()).family() == i18n::text("FontName"))
            << file << ": " << QFontInfo(form().font()).family().toStdString();
        form().BuildRootNodes();
        form().ScanKeys();
        waitForKeyOperations(form());
        for (int i = 0; i < part<QTreeWidget>(form(), "tv")->topLevelItemCount(); ++i)
            expandAll(part<QTreeWidget>(form(), "tv")->topLevelItem(i));
        QCoreApplication::processEvents();
        const int needed = part<QTreeWidget>(form(), "tv")->header()->sectionSize(0);
        EXPECT_LE(needed, part<QTreeWidget>(form(), "tv")->viewport()->width()) << file;
        EXPECT_EQ(part<QTreeWidget>(form(), "tv")->horizontalScrollBar()->maximum(), 0) << file;
    }
}
