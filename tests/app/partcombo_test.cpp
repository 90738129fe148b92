// The part lists' combo boxes: filling one from the data folder's files.
#include "app/partcombo.h"

#include <gtest/gtest.h>

#include <QApplication>

#include "app/combobox.h"
#include "qtapplication.h"
#include "tempfolder.h"
#include "viewer/fileutils.h"
#include "viewer/partlists.h"

namespace wbx {
namespace {

using testing::EnsureQtApplication;
using testing::TempFolder;
using testing::WriteText;

class PartComboTest : public ::testing::Test {
protected:
    void Touch(const std::string& name) { WriteText(dir / name, "x"); }
    TempFolder dir;
};

TEST_F(PartComboTest, FillPartComboAppendsAndSelectsByTheFlag) {
    EnsureQtApplication();
    Touch("01_22222_01.pav");
    Touch("01_11111_01.pav");
    QWidget parent;
    TComboBox combo(&parent);
    int selects = 0;
    combo.OnSelect = [&](TComboBox*) { ++selects; };
    combo.addItem(QString::fromUtf8(kNoPartItem));
    FillPartCombo(dir.Path(), "01_*_01.pav", combo, true, AddFilePrefix);
    ASSERT_EQ(combo.count(), 3);
    EXPECT_EQ(combo.itemText(1).toStdString(), "01_11111");
    EXPECT_EQ(combo.currentIndex(), 1);
    EXPECT_EQ(combo.Text(), "01_11111");
    EXPECT_EQ(selects, 0);  // a selection made by code is not the user's

    TComboBox off(&parent);
    off.addItem(QString::fromUtf8(kNoPartItem));
    FillPartCombo(dir.Path(), "01_*_01.pav", off, false, AddFilePrefix);
    EXPECT_EQ(off.count(), 3);
    EXPECT_EQ(off.currentIndex(), 0);

    TComboBox empty(&parent);
    empty.addItem(QString::fromUtf8(kNoPartItem));
    FillPartCombo(dir.Path(), "07_*_01.pav", empty, true, AddFilePrefix);
    EXPECT_EQ(empty.count(), 1);
    EXPECT_EQ(empty.currentIndex(), 0);  // the flag needs a file to select
    EXPECT_EQ(empty.Text(), kNoPartItem);
}

}  // namespace
}  // namespace wbx
