#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/text.h"
#include "platform/ui_host.h"
#include "shell/message_boxes.h"
#include "shell/resources.h"
#include "tests/support/test_support.h"
#include "tracks/file_utils.h"
#include "tracks/file_writer.h"

namespace velka {
namespace {

// A writer on a fresh file, and what reached the file so far.
class WriterFile {
public:
    WriterFile() : m_path(m_dir.File("out.bin")) {
        m_fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    }
    ~WriterFile() { ::close(m_fd); }
    int Fd() const { return m_fd; }
    std::string OnDisk() const { return test::ReadFile(m_path); }

private:
    test::TempDir m_dir;
    std::string m_path;
    int m_fd = -1;
};

std::string Formatted(void (*fn)(CFileWriter&)) {
    WriterFile file;
    {
        CFileWriter w(file.Fd());
        fn(w);
        w.Flush();
    }
    return file.OnDisk();
}

// Counts the physical writes while alive.
class CWriteCounter {
public:
    CWriteCounter() {
        s_cWrites = 0;
        SetPhysicalWriteObserverForTest([](int) { ++s_cWrites; });
    }
    ~CWriteCounter() { SetPhysicalWriteObserverForTest(nullptr); }
    unsigned Count() const { return s_cWrites; }

private:
    static inline unsigned s_cWrites = 0;
};

TEST(FileWriter, BufferFillsBeforeThePhysicalWrite) {
    WriterFile file;
    CWriteCounter writes;
    CFileWriter w(file.Fd());
    std::string block(4096, 'a');
    w.WriteBytes(block.data(), block.size());
    EXPECT_EQ(writes.Count(), 0u); // exactly a full buffer, nothing written yet
    EXPECT_EQ(w.BufferedBytes(), 4096u);
    w.WriteByte('b');
    EXPECT_EQ(writes.Count(), 1u);
    EXPECT_EQ(file.OnDisk(), block); // the 4096 went out first
    EXPECT_EQ(w.BufferedBytes(), 1u);
    EXPECT_EQ(w.GetPosition(), 4097u);
    w.Flush();
    EXPECT_EQ(file.OnDisk(), block + "b");
    EXPECT_FALSE(w.Failed());
}

TEST(FileWriter, LargeWritesGoDirectAfterTheBuffered) {
    WriterFile file;
    CWriteCounter writes;
    CFileWriter w(file.Fd());
    w.WriteFill(10, 'x');
    std::string big(5000, 'y');
    w.WriteBytes(big.data(), big.size());
    EXPECT_EQ(writes.Count(), 2u); // the 10, then the 5000 in one call
    EXPECT_EQ(w.BufferedBytes(), 0u);
    EXPECT_EQ(w.GetPosition(), 5010u);
    EXPECT_EQ(file.OnDisk(), std::string(10, 'x') + big);
    w.WriteFill(5000, 'z'); // a fill above the buffer size is one direct write too
    EXPECT_EQ(writes.Count(), 3u);
    EXPECT_EQ(file.OnDisk().size(), 10010u);
    w.Flush(); // nothing buffered: no write
    EXPECT_EQ(writes.Count(), 3u);
}

TEST(FileWriter, SeekPatchesAndReturns) {
    WriterFile file;
    CFileWriter w(file.Fd());
    w.WriteDWord(0x12345678);
    w.WriteWord(0xABCD);
    w.WriteByte(0xEF);
    w.WriteString("tail");
    const DWORD dwEnd = w.GetPosition();
    EXPECT_EQ(dwEnd, 11u);
    w.Seek(2);
    EXPECT_EQ(file.OnDisk().size(), 11u); // the buffer was written out first
    w.WriteWord(0x9999);
    EXPECT_EQ(w.GetPosition(), 4u); // offset plus what was written since
    w.Seek(dwEnd);
    w.WriteChar('!');
    w.Flush();
    EXPECT_EQ(file.OnDisk(), std::string("\x78\x56\x99\x99\xCD\xAB\xEFtail!", 12));
}

TEST(FileWriter, TextCountsLinesAndWritesUtf16LittleEndian) {
    WriterFile file;
    CFileWriter w(file.Fd());
    w.WriteBOM();
    w.WriteWideString(u"Я\n");
    w.RepeatWideChar(u'-', 2);
    w.WriteWideChar(u'\n');
    w.WriteText("a\nb\n", 4);
    w.RepeatChar('\n', 2);
    EXPECT_EQ(w.GetLineNumber(), 7u);
    w.Flush();
    EXPECT_EQ(file.OnDisk(), std::string("\xFF\xFE\x2F\x04\n\0-\0-\0\n\0a\nb\n\n\n", 18));
}

TEST(FileWriter, LongWideTextIsWrittenWhole) {
    WriterFile file;
    CFileWriter w(file.Fd());
    std::u16string text(5000, u'\x0441');
    w.WriteWideText(text.data(), text.size());
    w.Flush();
    EXPECT_EQ(w.GetPosition(), 10000u);
    std::string disk = file.OnDisk();
    ASSERT_EQ(disk.size(), 10000u);
    EXPECT_EQ(disk.substr(9998), "\x41\x04");
}

TEST(FileWriter, PrintfWritesUpTo512CharactersAndDropsLonger) {
    EXPECT_EQ(Formatted([](CFileWriter& w) { w.Printf("%d-%s", 42, "x"); }), "42-x");
    EXPECT_EQ(Formatted([](CFileWriter& w) { w.Printf("%s", std::string(512, 'q').c_str()); }).size(),
              512u);
    EXPECT_EQ(Formatted([](CFileWriter& w) { w.Printf("%s", std::string(513, 'q').c_str()); }), "");
    EXPECT_EQ(Formatted([](CFileWriter& w) { w.WPrintf(u"%s=%u", u"й", 7u); }),
              std::string("\x39\x04=\0" "7\0", 6));
    EXPECT_EQ(Formatted([](CFileWriter& w) {
                  std::u16string s(513, u'q');
                  w.WPrintf(u"%s", s.c_str());
              }),
              "");
}

TEST(FileWriter, NumberFormatting) {
    EXPECT_EQ(Formatted([](CFileWriter& w) { w.WriteUInt(4294967295u); }), "4294967295");
    EXPECT_EQ(Formatted([](CFileWriter& w) { w.WriteUInt(0); }), "0");
    EXPECT_EQ(Formatted([](CFileWriter& w) {
                  w.SetPrecision(2);
                  w.WriteFloat(-0.004f);
                  w.WriteChar(' ');
                  w.WriteFloat(3.14159f);
                  w.WriteChar(' ');
                  w.WriteFloat(2.999f);
              }),
              "-0.00 3.14 3.00");
    EXPECT_EQ(Formatted([](CFileWriter& w) {
                  w.SetPrecision(0);
                  w.WriteFloat(12.7f);
              }),
              "13.");
    EXPECT_EQ(Formatted([](CFileWriter& w) {
                  w.SetPrecision(9); // at most 5 decimals
                  w.WriteDouble(-37.123456789);
                  w.WriteChar(' ');
                  w.WriteDouble(0.000001);
                  w.WriteChar(' ');
                  w.SetPrecision(3);
                  w.WriteDouble(1e12 + 0.25);
              }),
              "-37.12346 0.00000 1000000000000.250");
}

TEST(FileWriter, ShortPhysicalWriteSetsFailed) {
    int fd = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    if (fd < 0) GTEST_SKIP() << "/dev/full not available";
    CFileWriter w(fd);
    w.WriteString("data");
    w.Flush();
    EXPECT_TRUE(w.Failed());
    ::close(fd);
}

TEST(PathUtilities, TrailingSlashAndComponents) {
    std::u16string p = u"/home/user/";
    EXPECT_EQ(RemoveTrailingSlash(p), 10u);
    EXPECT_EQ(p, u"/home/user");
    std::u16string root = u"/";
    EXPECT_EQ(RemoveTrailingSlash(root), 1u);
    AddTrailingSlash(p);
    EXPECT_EQ(p, u"/home/user/");
    AddTrailingSlash(p);
    EXPECT_EQ(p, u"/home/user/");
    std::u16string one = u"a";
    AddTrailingSlash(one);
    EXPECT_EQ(one, u"a/");

    CutLastComponent(p);
    EXPECT_EQ(p, u"/home");
    CutLastComponent(p);
    EXPECT_EQ(p, u"/");
    CutLastComponent(p);
    EXPECT_EQ(p, u"/");
    std::u16string bare = u"name";
    CutLastComponent(bare);
    EXPECT_EQ(bare, u"");
    EXPECT_TRUE(IsDotEntry(u"..") && IsDotEntry(".") && !IsDotEntry("...") && !IsDotEntry(u".a"));
}

TEST(PathUtilities, ExistenceAndMatching) {
    test::TempDir dir;
    const std::u16string folder = FromUtf8(dir.Path().string());
    ASSERT_EQ(::mkdir(dir.File("sub.mps").c_str(), 0755), 0);
    for (const char* name : {"a.mps", "B.MPS", "c.gdb"}) {
        int fd = ::open(dir.File(name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ::close(fd);
    }
    EXPECT_TRUE(FileExists(folder + u"/sub.mps"));
    EXPECT_FALSE(IsFile(folder + u"/sub.mps"));
    EXPECT_TRUE(IsFile(folder + u"/a.mps"));
    EXPECT_FALSE(FileExists(folder + u"/none"));
    EXPECT_EQ(CountMatchingFiles(folder + u"/*.mps"), 2u); // the folder is not counted
    EXPECT_TRUE(AnyFileMatches(folder + u"/*.gdb"));
    EXPECT_FALSE(AnyFileMatches(folder + u"/*.wpt"));
    EXPECT_FALSE(AnyFileMatches(folder + u"/missing/*"));
}

TEST(PathUtilities, DeleteRenameAndNewFolderReturnFailures) {
    test::TempDir dir;
    const std::u16string folder = FromUtf8(dir.Path().string());
    CHeadlessUiHost& host = HeadlessUiHost();
    host.ClearBoxes();

    CError error;
    const std::u16string first = CreateNewFolder(folder, error);
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(error, CError());
    const std::u16string second = CreateNewFolder(folder, error);
    EXPECT_EQ(second, first + u"(1)");
    EXPECT_EQ(CreateNewFolder(folder, error), first + u"(2)");
    EXPECT_TRUE(CreateNewFolder(folder + u"/missing", error).empty());
    EXPECT_EQ(error.code, ErrorCode::CannotCreateFolder);
    EXPECT_EQ(ErrorText(error), FormatW(LoadStr(2035).c_str(), (folder + u"/missing/" + first).c_str(),
                                        SystemErrorText(ENOENT).c_str()));

    EXPECT_EQ(RenameInFolder(folder, second, u"renamed"), CError());
    EXPECT_TRUE(FileExists(folder + u"/renamed") && !IsFile(folder + u"/renamed"));
    const CError exists = RenameInFolder(folder, u"renamed", first); // the target exists
    EXPECT_EQ(ErrorText(exists), FormatW(LoadStr(2026).c_str(), (folder + u"/renamed").c_str(),
                                         (folder + u"/" + first).c_str(), SystemErrorText(EEXIST).c_str()));
    EXPECT_EQ(RenameInFolder(folder, u"absent", u"x").code, ErrorCode::CannotRename);
    // Nothing below the user interface shows a box.
    EXPECT_TRUE(host.Boxes().empty());

    // The question goes through the user interface's box.
    host.ScriptAnswers({IDNO, IDYES, IDYES});
    EXPECT_EQ(DeleteWithConfirmation(folder + u"/renamed", AskQuestionBox).code, ErrorCode::Declined);
    EXPECT_TRUE(FileExists(folder + u"/renamed"));
    EXPECT_EQ(DeleteWithConfirmation(folder + u"/renamed", AskQuestionBox), CError());
    EXPECT_FALSE(FileExists(folder + u"/renamed"));
    const CError gone = DeleteWithConfirmation(folder + u"/renamed", AskQuestionBox); // gone: reported
    EXPECT_EQ(gone.code, ErrorCode::CannotDelete);
    EXPECT_EQ(ErrorText(gone), FormatW(LoadStr(2025).c_str(), (folder + u"/renamed").c_str(),
                                       SystemErrorText(ENOENT).c_str()));
    const auto boxes = host.Boxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].strText, FormatMessageId(2027, (folder + u"/renamed").c_str()));
    EXPECT_EQ(boxes[0].uStyle, MB_YESNO | MB_ICONQUESTION);
    // Without a way to ask nothing is deleted.
    EXPECT_EQ(DeleteWithConfirmation(folder + u"/" + first, AskFn{}).code, ErrorCode::Declined);
    EXPECT_TRUE(FileExists(folder + u"/" + first));
    host.ClearBoxes();
    host.ScriptAnswers({});
}

} // namespace
} // namespace velka
