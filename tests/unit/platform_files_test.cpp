// Files: path mapping, existence, deletion, line reading, appending and the
// advisory locks between readers and writers.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

#include "platform/platform.hpp"

namespace pf = rcwa::platform;

namespace {

class PlatformFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/rcwa_platform_XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override {
        for (const auto& f : made_) ::unlink(f.c_str());
        ::rmdir(dir_.c_str());
    }
    std::string path(const std::string& name) {
        std::string p = dir_ + "/" + name;
        made_.push_back(p);
        return p;
    }
    static void write_raw(const std::string& p, const std::string& bytes) {
        std::ofstream o(p, std::ios::binary);
        o << bytes;
    }
    static std::string read_raw(const std::string& p) {
        std::ifstream i(p, std::ios::binary);
        std::stringstream s;
        s << i.rdbuf();
        return s.str();
    }
    static std::vector<std::string> all_lines(pf::in_file& f) {
        std::vector<std::string> v;
        std::string line;
        while (f.get_line(line)) v.push_back(line);
        return v;
    }
    std::string dir_;
    std::vector<std::string> made_;
};

}  // namespace

TEST(PlatformPath, MapPathDropsTrailingBlanksAndTurnsBackslashes) {
    EXPECT_EQ(pf::map_path("NKData\\gold.nk     "), "NKData/gold.nk");
    EXPECT_EQ(pf::map_path("..\\a b\\c.txt"), "../a b/c.txt");  // inner blanks stay
    EXPECT_EQ(pf::map_path("   "), "");
    EXPECT_EQ(pf::map_path("  lead"), "  lead");
    EXPECT_EQ(pf::map_path("plain/name"), "plain/name");
}

TEST_F(PlatformFiles, ExistsAndDelete) {
    const std::string p = path("x.txt");
    EXPECT_FALSE(pf::path_exists(p));
    write_raw(p, "a\n");
    EXPECT_TRUE(pf::path_exists(p));
    EXPECT_TRUE(pf::path_exists(p + "   "));  // blank-padded as read from a file
    EXPECT_TRUE(pf::path_exists(dir_));       // a folder exists too
    EXPECT_TRUE(pf::delete_file(p));
    EXPECT_FALSE(pf::path_exists(p));
    EXPECT_TRUE(pf::delete_file(p));  // already gone counts as gone
    EXPECT_FALSE(pf::delete_file(dir_));  // a folder is not deleted
    EXPECT_TRUE(pf::path_exists(dir_));
}

TEST_F(PlatformFiles, BackslashNamesOpenTheMappedPath) {
    const std::string p = path("sub.txt");
    write_raw(p, "one\n");
    std::string win = dir_ + "\\sub.txt  ";
    pf::in_file f;
    ASSERT_TRUE(f.open(win, true));
    std::string line;
    ASSERT_TRUE(f.get_line(line));
    EXPECT_EQ(line, "one");
}

TEST_F(PlatformFiles, GetLineEndsAndEmptyLines) {
    const std::string p = path("lines.txt");
    write_raw(p, "first\r\nsecond\n\n\r\nlast without end");
    pf::in_file f;
    ASSERT_TRUE(f.open(p, false));
    EXPECT_EQ(all_lines(f), (std::vector<std::string>{"first", "second", "", "", "last without end"}));
    std::string line = "stale";
    EXPECT_FALSE(f.get_line(line));  // stays at the end
    EXPECT_FALSE(f.get_line(line));

    // Only one carriage return before the line end is dropped; inner ones stay.
    write_raw(p, "a\rb\r\r\n\n");
    pf::in_file g;
    ASSERT_TRUE(g.open(p, false));
    EXPECT_EQ(all_lines(g), (std::vector<std::string>{"a\rb\r", ""}));
}

TEST_F(PlatformFiles, OpenForReadingFailures) {
    pf::in_file f;
    EXPECT_FALSE(f.open(path("missing.txt"), false));
    EXPECT_FALSE(f.is_open());
    EXPECT_FALSE(f.open(dir_, false));  // a folder is no text file
    const std::string empty = path("empty.txt");
    write_raw(empty, "");
    ASSERT_TRUE(f.open(empty, true));
    std::string line;
    EXPECT_FALSE(f.get_line(line));
}

TEST_F(PlatformFiles, ReaderDeniesWritersOnlyWhileOpen) {
    const std::string p = path("locked.txt");
    write_raw(p, "data\n");

    // Another descriptor holds an exclusive lock: a denying open fails, a
    // plain one does not.
    int fd = ::open(p.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    pf::in_file f;
    EXPECT_FALSE(f.open(p, true));
    EXPECT_FALSE(f.is_open());
    EXPECT_TRUE(f.open(p, false));
    f.close();
    ASSERT_EQ(::flock(fd, LOCK_UN), 0);
    ASSERT_TRUE(f.open(p, true));

    // While the reader has it, nobody gets an exclusive lock; two readers share.
    EXPECT_NE(::flock(fd, LOCK_EX | LOCK_NB), 0);
    pf::in_file g;
    EXPECT_TRUE(g.open(p, true));
    g.close();
    EXPECT_NE(::flock(fd, LOCK_EX | LOCK_NB), 0);

    // A moved reader keeps the lock; closing it releases.
    pf::in_file h(std::move(f));
    EXPECT_FALSE(f.is_open());
    EXPECT_NE(::flock(fd, LOCK_EX | LOCK_NB), 0);
    h.close();
    EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    ::close(fd);
}

TEST_F(PlatformFiles, WriterLockKeepsDenyingReadersOut) {
    const std::string p = path("w.txt");
    pf::out_file w;
    ASSERT_TRUE(w.open_append(p));
    pf::in_file r;
    EXPECT_FALSE(r.open(p, true));
    EXPECT_TRUE(r.open(p, false));
    r.close();
    EXPECT_TRUE(w.close());
    EXPECT_TRUE(r.open(p, true));
}

TEST_F(PlatformFiles, AppendCreatesAppendsAndHonoursOld) {
    const std::string p = path("out.txt");
    pf::out_file w;
    EXPECT_FALSE(w.open_append(p, false));  // status "old" on a missing file
    EXPECT_FALSE(pf::path_exists(p));

    ASSERT_TRUE(w.open_append(p));
    EXPECT_TRUE(w.write_line(" first record"));
    EXPECT_TRUE(w.write_text("part"));
    EXPECT_TRUE(w.write_text(""));
    EXPECT_TRUE(w.write_line("ial"));
    EXPECT_TRUE(w.close());
    EXPECT_FALSE(w.is_open());
    EXPECT_TRUE(w.close());  // a second close is harmless

    ASSERT_TRUE(w.open_append(p + "  ", false));
    EXPECT_TRUE(w.write_line("third"));
    EXPECT_TRUE(w.write_line(""));
    EXPECT_TRUE(w.close());
    EXPECT_EQ(read_raw(p), " first record\npartial\nthird\n\n");

    EXPECT_FALSE(w.write_line("closed"));
    EXPECT_FALSE(w.open_append(dir_));  // a folder cannot be appended to
}

TEST_F(PlatformFiles, BlocksAndRecordsStartOnAFreshLine) {
    const std::string p = path("proj.qpr");
    pf::out_file w;
    ASSERT_TRUE(w.open_append(p));
    EXPECT_TRUE(w.empty());
    EXPECT_TRUE(w.write_block("a\n"));  // an empty file needs no line end first
    EXPECT_FALSE(w.empty());
    EXPECT_TRUE(w.write_text("cut"));  // buffered text counts as written
    EXPECT_TRUE(w.write_block("b\n"));
    EXPECT_TRUE(w.write_block("c\n"));
    EXPECT_TRUE(w.close());
    EXPECT_EQ(read_raw(p), "a\ncut\nb\nc\n");
    ASSERT_TRUE(w.open_append("/dev/null", false));
    EXPECT_FALSE(w.empty());  // a device is never a new file

    // a table whose writer was killed inside a record
    const std::string t = path("tab.txt");
    write_raw(t, "heading\n 1.0  2.");
    ASSERT_TRUE(w.open_append(t));
    EXPECT_TRUE(w.write_line(""));
    EXPECT_TRUE(w.write_line(" 3.0  4.0"));
    EXPECT_TRUE(w.close());
    EXPECT_EQ(read_raw(t), "heading\n 1.0  2.\n\n 3.0  4.0\n");
}

TEST_F(PlatformFiles, WriteFailuresAreReported) {
    // /dev/full accepts the open and fails every flush with ENOSPC.
    if (!pf::path_exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    pf::out_file w;
    ASSERT_TRUE(w.open_append("/dev/full", false));
    std::string big(1 << 20, 'x');  // more than any stdio buffer
    bool ok = w.write_line(big);
    ok = w.close() && ok;
    EXPECT_FALSE(ok);

    ASSERT_TRUE(w.open_append("/dev/full", false));
    EXPECT_TRUE(w.write_line("short"));  // still in the buffer
    EXPECT_FALSE(w.close());

    ASSERT_TRUE(w.open_append("/dev/full", false));
    EXPECT_FALSE(w.write_block("a block\n"));

    // A file at its size limit (SIGXFSZ ignored) takes part of a write and then
    // fails, as on a full disk: it keeps only the whole records it had, also
    // with a record written after the failure, for records and blocks.
    const std::string p = path("tab.txt");
    const std::string before = "heading\n 1.0\n";
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const rlimit limit{before.size() + 3, old.rlim_max};
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    for (const bool block : {false, true}) {
        for (const std::string& text : {std::string(" 2.0"), big}) {
            for (const bool more : {false, true}) {
                write_raw(p, before);
                ::setrlimit(RLIMIT_FSIZE, &limit);
                EXPECT_TRUE(w.open_append(p));
                ok = block ? w.write_block(text) : w.write_line(text);
                if (more) w.write_line(" 3.0");
                ok = w.close() && ok;
                ::setrlimit(RLIMIT_FSIZE, &old);
                EXPECT_FALSE(ok) << block << text.size() << more;
                EXPECT_EQ(read_raw(p), before) << block << text.size() << more;
            }
        }
    }
    std::signal(SIGXFSZ, handler);
}
