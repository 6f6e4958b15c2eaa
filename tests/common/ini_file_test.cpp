#include "common/ini_file.h"

#include <gtest/gtest.h>

namespace tarvenix {
namespace {

TEST(IniDocument, ReadsLikeProfileFiles) {
    const IniDocument doc(
        "; comment\r\n[General]\r\n  Name = Tarvenix  \r\nQuoted=\"  spaced  \"\r\n"
        "[Other]\nName=second\n");
    EXPECT_EQ(doc.get("general", "NAME"), "Tarvenix");
    EXPECT_EQ(doc.get("General", "Quoted"), "  spaced  ");
    EXPECT_EQ(doc.get("Other", "name"), "second");
    EXPECT_FALSE(doc.get("General", "comment").has_value());
    EXPECT_FALSE(doc.get("Missing", "Name").has_value());
}

TEST(IniDocument, WritesIntoTheRightSection) {
    IniDocument doc("[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n");
    doc.set("a", "z", "3");
    doc.set("B", "Y", "4");
    doc.set("C", "w", "5");
    EXPECT_EQ(doc.text(), "[A]\r\nx=1\r\nz=3\r\n\r\n[B]\r\ny=4\r\n[C]\r\nw=5\r\n");
}

}  // namespace
}  // namespace tarvenix
