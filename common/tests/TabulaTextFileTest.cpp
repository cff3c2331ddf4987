#include "common/TabulaTextFile.h"
#include "common/FileNames.h"
#include "common/NumberText.h"

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>

#include "testing/TempDir.h"

using talvor::TabulaTextFile;
using talvor::TextValue;

namespace {

struct Token {
    std::int32_t result;
    std::string text;
};

std::vector<Token> readAll(const std::string& buffer)
{
    TabulaTextFile f;
    f.InputFromString(buffer);
    std::vector<Token> out;
    for (int guard = 0; guard < 100; ++guard) {
        std::string s = "unchanged";
        const auto r = f.ReadNextData(s);
        out.push_back({r, s});
        if (r < 0)
            break;
    }
    return out;
}

std::string render(const std::vector<Token>& tokens)
{
    std::ostringstream os;
    for (const auto& t : tokens)
        os << t.result << ":[" << t.text << "] ";
    return os.str();
}

}  // namespace

TEST(TabulaTextFileReader, TokenTable)
{
    struct Case {
        const char* name;
        std::string buffer;
        std::string expected;
    };
    const Case cases[] = {
        {"two tokens and CR LF", "a b\r\n", "1:[a] 3:[b] -1:[] "},
        {"no final separator keeps the last token", "a b", "1:[a] 3:[b] -1:[] "},
        {"single LF at end", "a b\n", "1:[a] 3:[b] -1:[] "},
        {"single character", "x", "1:[x] -1:[] "},
        {"runs of every separator", " \t a\t\t\r\n\r\nbc  \n", "4:[a] 11:[bc] -1:[] "},
        {"quoted token holds blanks", "\"x y\" z\r\n", "1:[x y] 7:[z] -1:[] "},
        {"quoted token at very end", "k \"x y\"", "1:[k] 3:[x y] -1:[] "},
        {"quoted token holds TAB CR LF", "\"a\tb\r\nc\"\r\n", "1:[a\tb\r\nc] -1:[] "},
        {"empty quoted moves past the closing quote", "\"\" b\r\n", "1:[] 4:[b] -1:[] "},
        {"empty quoted at end", "a \"\"", "1:[a] 3:[] -1:[] "},
        {"text before a quote is replaced", "ab\"cd\" e\r\n", "1:[cd] 8:[e] -1:[] "},
        {"quoted then bare text without separator", "\"ab\"cd\r\n", "1:[ab] 5:[cd] -1:[] "},
        {"unmatched quote takes nothing", "ab\"cd\r\n", "1:[ab] 4:[cd] -1:[] "},
        {"print-form numbers", " 2 \r\n 0  3  45  0 \r\n", "2:[2] 7:[0] 10:[3] 13:[45] 17:[0] -1:[] "},
        {"only separators", " \r\n\t ", "-1:[] "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(render(readAll(c.buffer)), c.expected);
    }
}

TEST(TabulaTextFileReader, RefusesWhenNotReading)
{
    TabulaTextFile f;
    std::string s = "keep";
    EXPECT_EQ(f.ReadNextData(s), -1);
    EXPECT_EQ(s, "keep");  // not touched when not reading
    f.PrintFirstString("x");
    EXPECT_EQ(f.ReadNextData(s), -1);
    EXPECT_EQ(s, "keep");
}

TEST(TabulaTextFileReader, InputFromStringAndPositions)
{
    TabulaTextFile f;
    EXPECT_EQ(f.InputFromString(""), -1);
    EXPECT_EQ(f.mode(), TabulaTextFile::New);

    ASSERT_EQ(f.InputFromString("aa bb cc\r\n", 4), 0);
    std::string s;
    EXPECT_EQ(f.ReadNextData(s), 4);
    EXPECT_EQ(s, "bb");
    EXPECT_EQ(f.MyLen(), 6);

    EXPECT_EQ(f.startPos(0), -1);
    EXPECT_EQ(f.MyLen(), 6);  // position unchanged
    EXPECT_EQ(f.startPos(11), -1);
    EXPECT_EQ(f.startPos(1), 1);
    EXPECT_EQ(f.ReadNextData(s), 1);
    EXPECT_EQ(s, "aa");

    ASSERT_EQ(f.InputFromString("aa bb\r\n", 99), 0);  // outside: from 1
    EXPECT_EQ(f.ReadNextData(s), 1);

    f.MyString("q r\r\n");
    EXPECT_EQ(f.MyString(), "q r\r\n");
    EXPECT_EQ(f.mode(), TabulaTextFile::Reading);
    EXPECT_EQ(f.ReadNextData(s), 1);
    EXPECT_EQ(s, "q");

    TabulaTextFile w;
    EXPECT_EQ(w.startPos(1), -1);  // not reading
}

TEST(TabulaTextFileReader, ReadNextConvertsByElementType)
{
    TabulaTextFile f;
    ASSERT_EQ(f.InputFromString("3.25 -7 2.5 12abc \"a b\" True 0 x\r\n"), 0);
    std::vector<TextValue> v = {0.0, 0.0f, std::int32_t(0), std::int16_t(0), std::string(), false, true, 1.0};
    EXPECT_EQ(f.ReadNext(v), 32);
    EXPECT_DOUBLE_EQ(std::get<double>(v[0]), 3.25);
    EXPECT_FLOAT_EQ(std::get<float>(v[1]), -7.0f);
    EXPECT_EQ(std::get<std::int32_t>(v[2]), 2);  // halves to even
    EXPECT_EQ(std::get<std::int16_t>(v[3]), 12);
    EXPECT_EQ(std::get<std::string>(v[4]), "a b");
    EXPECT_TRUE(std::get<bool>(v[5]));
    EXPECT_FALSE(std::get<bool>(v[6]));
    EXPECT_DOUBLE_EQ(std::get<double>(v[7]), 0.0);  // no number

    // Fewer tokens than elements: the rest keep their values, result -1.
    TabulaTextFile g;
    g.InputFromString("5\r\n");
    std::vector<TextValue> w = {std::int32_t(0), std::int32_t(42)};
    EXPECT_EQ(g.ReadNext(w), -1);
    EXPECT_EQ(std::get<std::int32_t>(w[0]), 5);
    EXPECT_EQ(std::get<std::int32_t>(w[1]), 42);

    double x = 9;
    EXPECT_EQ(g.ReadNextSingle(x), -1);
    EXPECT_EQ(x, 0.0);
}

TEST(TabulaTextFileWriter, ItemsAndLines)
{
    struct Case {
        const char* name;
        TextValue value;
        std::string written;
    };
    const Case cases[] = {
        {"positive double", 3.5, "3.5"},
        {"negative integer", std::int32_t(-2), "-2"},
        {"short", std::int16_t(5), "5"},
        {"float keeps 7 digits", 1.0f / 3.0f, ".3333333"},
        {"double keeps 15 digits", 1.0 / 3.0, ".333333333333333"},
        {"negative fraction", -0.25f, "-.25"},
        {"zero", 0.0, "0"},
        {"large float exponent", 1e30f, "1E+30"},
        {"minus floor", -1e30f, "-1E+30"},
        {"small double exponent", 1.5e-7, "1.5E-07"},
        {"plain string", std::string("abc"), "abc"},
        {"string with blank", std::string("a b"), "\"a b\""},
        {"string with TAB", std::string("a\tb"), "\"a\tb\""},
        {"string with CR", std::string("a\rb"), "\"a\rb\""},
        {"string with LF", std::string("a\nb"), "\"a\nb\""},
        {"empty string", std::string(), "\"\""},
        {"boolean", true, "True"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TabulaTextFile f;
        EXPECT_EQ(f.PrintToString(c.value), 0);
        EXPECT_EQ(f.MyString(), c.written);
        EXPECT_EQ(f.mode(), TabulaTextFile::Writing);
    }
}

TEST(TabulaTextFileWriter, LinesAreByteExact)
{
    TabulaTextFile f;
    EXPECT_EQ(f.PrintFirstString("TALVOR II", std::string("\r\n")), 0);
    EXPECT_EQ(f.PrintToStrAll({std::int32_t(1), std::string("one"), 2.5f}), 0);
    EXPECT_EQ(f.PrintToString(std::int32_t(7), std::string(" ")), 0);
    // An element that equals a separator is a value like any other: quoted.
    EXPECT_EQ(f.PrintToStrAll({std::string("a"), std::string(" "), std::string("b")}), 0);
    EXPECT_EQ(f.MyString(), "\"TALVOR II\"\r\n1\tone\t2.5\r\n7 a\t\" \"\tb\r\n");

    // PrintFirstString drops what was there.
    f.PrintFirstString("z");
    EXPECT_EQ(f.MyString(), "z");
}

TEST(TabulaTextFileWriter, DoubleQuoteInsideStringIsRefused)
{
    talvor::test::TempDir dir;
    const std::string file = dir.path() + "/q.txt";
    TabulaTextFile f;
    f.PrintFirstString("ok", std::string("\t"));
    EXPECT_EQ(f.PrintToString(std::string("say \"hi\"")), -1);
    EXPECT_EQ(f.MyString(), "ok\t");  // nothing appended
    EXPECT_EQ(f.SaveStringToFile(file), -1);
    EXPECT_FALSE(std::filesystem::exists(file));
    // A restart clears the refusal.
    f.PrintFirstString("fine");
    EXPECT_EQ(f.SaveStringToFile(file), 0);
    EXPECT_EQ(f.PrintFirstString("a\"b"), -1);
    EXPECT_EQ(f.SaveStringToFile(file), -1);

    // A buffer replaced as a whole, or new input, also ends the refusal: what
    // is saved then is exactly what the caller gave.
    struct Restart {
        const char* name;
        void (*replace)(TabulaTextFile&);
        const char* saved;
    };
    const Restart restarts[] = {
        {"MyString", [](TabulaTextFile& t) { t.MyString("whole"); }, "whole\r\n"},
        {"InputFromString then items",
         [](TabulaTextFile& t) {
             t.InputFromString("in ");
             t.PrintToString(std::int32_t(1));
         },
         "in 1\r\n"},
    };
    for (const auto& r : restarts) {
        SCOPED_TRACE(r.name);
        TabulaTextFile g;
        g.PrintFirstString("x");
        ASSERT_EQ(g.PrintToString(std::string("bad\"")), -1);
        ASSERT_EQ(g.SaveStringToFile(file), -1);
        r.replace(g);
        ASSERT_EQ(g.SaveStringToFile(file), 0);
        std::string bytes;
        ASSERT_TRUE(talvor::readFileWhole(file, &bytes));
        EXPECT_EQ(bytes, r.saved);
    }
}

TEST(TabulaTextFileRoundTrip, WrittenLinesReadBackAsTheSameItems)
{
    talvor::test::TempDir dir;
    const std::string file = dir.path() + "/round.txt";
    const std::vector<TextValue> items = {
        std::string("plain"), std::string("two words"), std::string(""), std::string("tab\there"),
        std::string("cr\rlf\n"), std::string(" "), std::string("\t"), std::string("\r\n"), std::string("\n"),
        std::string(""), 0.1f, -123.456f, 1e-5f, 3e12f, 1.0 / 7.0, std::int32_t(-2147483647),
    };
    TabulaTextFile w;
    ASSERT_EQ(w.PrintFirstString("head", std::string("\r\n")), 0);
    ASSERT_EQ(w.PrintToStrAll(items), 0);
    ASSERT_EQ(w.SaveStringToFile(file), 0);

    TabulaTextFile r;
    ASSERT_EQ(r.InputFromFile(file), 0);
    std::string s;
    ASSERT_GT(r.ReadNextData(s), 0);
    EXPECT_EQ(s, "head");
    for (std::size_t i = 0; i < items.size(); ++i) {
        SCOPED_TRACE(i);
        ASSERT_GT(r.ReadNextData(s), 0);
        if (const auto* str = std::get_if<std::string>(&items[i]))
            EXPECT_EQ(s, *str);
        else if (const auto* fl = std::get_if<float>(&items[i]))
            EXPECT_EQ(float(talvor::leadingNumber(s)), *fl);
        else if (const auto* d = std::get_if<double>(&items[i]))
            EXPECT_NEAR(talvor::leadingNumber(s), *d, 1e-15);
        else
            EXPECT_EQ(talvor::leadingNumber(s), double(std::get<std::int32_t>(items[i])));
    }
    EXPECT_EQ(r.ReadNextData(s), -1);
}

TEST(TabulaTextFileFiles, FailuresReturnMinusOneAndKeepOldFile)
{
    talvor::test::TempDir dir;
    TabulaTextFile f;
    EXPECT_EQ(f.InputFromFile(dir.path() + "/missing.txt"), -1);
    EXPECT_EQ(f.InputFromFile(dir.path()), -1);  // a folder is no file
    const std::string pipe = dir.path() + "/pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    EXPECT_EQ(f.InputFromFile(pipe), -1);  // refused, not waited on
    if (geteuid() != 0) {
        const std::string locked = dir.path() + "/locked.txt";
        std::ofstream(locked) << "secret\r\n";
        ::chmod(locked.c_str(), 0);
        EXPECT_EQ(f.InputFromFile(locked), -1);
    }
    EXPECT_EQ(f.mode(), TabulaTextFile::New);
    EXPECT_EQ(f.MyString(), "");

    // An empty file is read (and holds no token).
    std::ofstream(dir.path() + "/empty.txt").close();
    TabulaTextFile e;
    EXPECT_EQ(e.InputFromFile(dir.path() + "/empty.txt"), 0);
    std::string token = "x";
    EXPECT_EQ(e.ReadNextData(token), -1);
    EXPECT_EQ(token, "");

    TabulaTextFile fresh;
    EXPECT_EQ(fresh.SaveStringToFile(dir.path() + "/new.txt"), -1);  // not writing
    EXPECT_FALSE(std::filesystem::exists(dir.path() + "/new.txt"));

    const std::string file = dir.path() + "/keep.txt";
    TabulaTextFile w;
    w.PrintFirstString("old");
    ASSERT_EQ(w.SaveStringToFile(file), 0);
    w.PrintFirstString("new");
    EXPECT_EQ(w.SaveStringToFile(dir.path() + "/no/such/folder/x.txt"), -1);

    if (geteuid() != 0) {  // root writes through permissions
        ::chmod(dir.path().c_str(), 0500);
        EXPECT_EQ(w.SaveStringToFile(file), -1);
        ::chmod(dir.path().c_str(), 0700);
    }
    std::string bytes;
    ASSERT_TRUE(talvor::readFileWhole(file, &bytes));
    EXPECT_EQ(bytes, "old\r\n");
}

TEST(TabulaTextFileFiles, ReadsNamesCaseInsensitively)
{
    talvor::test::TempDir dir;
    std::ofstream(dir.path() + "/Scheme.SC1") << "one two\n";
    TabulaTextFile f;
    ASSERT_EQ(f.InputFromFile(dir.path() + "/scheme.sc1"), 0);
    std::string s;
    EXPECT_EQ(f.ReadNextData(s), 1);
    EXPECT_EQ(f.ReadNextData(s), 5);
    EXPECT_EQ(s, "two");
}

TEST(TabulaTextFileLocale, CommaDecimalLocaleWritesAndReadsTheSameText)
{
    const char* candidates[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "C.UTF-8"};
    const char* chosen = nullptr;
    for (const char* c : candidates)
        if (std::setlocale(LC_ALL, c)) {
            chosen = c;
            break;
        }
    if (!chosen)
        GTEST_SKIP() << "no locale available";
    TabulaTextFile f;
    f.PrintToString(2.5f, std::string(" "));
    f.PrintToString(-0.125, std::string(" "));
    EXPECT_EQ(f.MyString(), "2.5 -.125 ");
    TabulaTextFile r;
    r.InputFromString("2.5 -.125\r\n");
    double x = 0;
    r.ReadNextSingle(x);
    EXPECT_EQ(x, 2.5);
    r.ReadNextSingle(x);
    EXPECT_EQ(x, -0.125);
    std::setlocale(LC_ALL, "C");
}
