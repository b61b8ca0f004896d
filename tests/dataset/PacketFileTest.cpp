// Saving and loading files: atomic replacement, error texts, and which format a name picks.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "DataSetTestSupport.h"
#include "dataset/ClientDataSet.h"
#include "platform/Exceptions.h"
#include "support/TestOs.h"

namespace trs {
namespace {

using test::MessageOf;
using test::ReadFile;

void CreateTable(TClientDataSet& ds, int rows, size_t textBytes = 8) {
  ds.AddFieldDef("T", TFieldType::ftString, 8192);
  ds.CreateDataSet();
  for (int i = 0; i < rows; ++i) {
    ds.Append();
    ds.SetFieldText(0, std::string(textBytes, static_cast<char>('a' + i % 26)));
  }
  ds.Post();
}

TEST(PacketFileTest, SaveReplacesTheFileAndLeavesNothingBeside) {
  test::TTempDir dir;
  const std::string target = dir / "t.cds";
  test::WriteFile(target, "old bytes");
  TClientDataSet ds;
  CreateTable(ds, 3);
  ds.SaveToFile(target);
  EXPECT_EQ(ReadFile(target), ds.Data());
  EXPECT_EQ(dir.EntryCount(), 1u);
}

TEST(PacketFileTest, FailedWriteLeavesTheOldFileWhole) {
  test::TTempDir dir;
  const std::string target = dir / "t.cds";
  test::WriteFile(target, "old bytes");
  TClientDataSet ds;
  CreateTable(ds, 100, 1000);
  std::string message;
  {
    test::TFileSizeLimit limit(4096);
    message = MessageOf<EFCreateError>([&] { ds.SaveToFile(target); });
  }
  EXPECT_EQ(message, "Cannot create file \"" + target + "\". " + test::SystemErrorText(test::TSystemError::DiskFull));
  EXPECT_EQ(ReadFile(target), "old bytes");
  EXPECT_EQ(dir.EntryCount(), 1u) << "the temporary file is removed";
}

TEST(PacketFileTest, MissingDirectoryNamesTheTarget) {
  test::TTempDir dir;
  const std::string target = dir / "missing/t.cds";
  TClientDataSet ds;
  CreateTable(ds, 1);
  EXPECT_EQ(MessageOf<EFCreateError>([&] { ds.SaveToFile(target); }),
            "Cannot create file \"" + target + "\". " + test::SystemErrorText(test::TSystemError::NoSuchDirectory));
  EXPECT_EQ(dir.EntryCount(), 0u);
}

TEST(PacketFileTest, TargetThatIsADirectoryFailsCleanly) {
  test::TTempDir dir;
  const std::string target = dir / "t.cds";
  std::filesystem::create_directory(target);
  TClientDataSet ds;
  CreateTable(ds, 1);
  EXPECT_THAT(MessageOf<EFCreateError>([&] { ds.SaveToFile(target); }),
              testing::StartsWith("Cannot create file \"" + target + "\". "));
  EXPECT_EQ(dir.EntryCount(), 1u);
  EXPECT_TRUE(std::filesystem::is_directory(target));
}

TEST(PacketFileTest, NeverOpenedWritesNothing) {
  test::TTempDir dir;
  TClientDataSet ds;
  ds.AddFieldDef("T", TFieldType::ftString, 4);
  ds.SaveToFile(dir / "t.cds");
  EXPECT_EQ(dir.EntryCount(), 0u);
}

TEST(PacketFileTest, SavePostsAnAssignedRowAndDropsAnUntouchedOne) {
  test::TTempDir dir;
  TClientDataSet ds;
  ds.AddFieldDef("T", TFieldType::ftString, 4);
  ds.CreateDataSet();
  ds.Append();
  ds.SetFieldText(0, "kept");
  ds.SaveToFile(dir / "a.cds");
  EXPECT_FALSE(ds.Editing());
  ds.Append();
  ds.SaveToFile(dir / "b.cds");
  EXPECT_EQ(ds.RecordCount(), 1);
  TClientDataSet loaded;
  loaded.LoadFromFile(dir / "b.cds");
  ASSERT_EQ(loaded.RecordCount(), 1);
  EXPECT_EQ(loaded.FieldAsString(0), "kept");
}

TEST(PacketFileTest, NamePicksTheSavedFormatAndContentTheLoadedOne) {
  test::TTempDir dir;
  TClientDataSet ds;
  CreateTable(ds, 2);
  ds.SaveToFile(dir / "upper.XML");
  ds.SaveToFile(dir / "plain");
  EXPECT_EQ(ReadFile(dir / "upper.XML"), ds.XmlData());
  EXPECT_EQ(ReadFile(dir / "plain"), ds.Data());
  // Swapped names: each file still loads by what it holds.
  std::filesystem::rename(dir / "upper.XML", dir / "xml-inside.cds");
  std::filesystem::rename(dir / "plain", dir / "binary-inside.xml");
  for (const char* name : {"xml-inside.cds", "binary-inside.xml"}) {
    TClientDataSet loaded;
    loaded.LoadFromFile(dir / name);
    EXPECT_EQ(loaded.Data(), ds.Data()) << name;
  }
  test::WriteFile(dir / "neither.cds", "hello");
  TClientDataSet loaded;
  EXPECT_THAT(MessageOf<EDatabaseError>([&] { loaded.LoadFromFile(dir / "neither.cds"); }),
              testing::HasSubstr("holds neither a binary nor an XML data packet"));
}

}  // namespace
}  // namespace trs
