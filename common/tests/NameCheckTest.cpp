#include "common/NameCheck.h"

#include <gtest/gtest.h>

using namespace talvor;

TEST(NameCheck, RefusesUnsafeNamesWithAMessage)
{
    struct Case {
        std::string name;
        NameKind kind;
        const char* because;  // a piece of the message
    };
    const Case refused[] = {
        {"", NameKind::Vocabulary, "is empty"},
        {".", NameKind::Vocabulary, "folder of its own"},
        {"..", NameKind::WorkDirectory, "folder of its own"},
        {"a/b", NameKind::Vocabulary, "path separator"},
        {"..\\up", NameKind::File, "path separator"},
        {"a,b", NameKind::WorkDirectory, "comma"},
        {"*", NameKind::File, "wildcard"},
        {"S?B01", NameKind::File, "wildcard"},
        {"say \"hi\"", NameKind::File, "double quote"},
        {"tab\there", NameKind::File, "control character"},
        {"line\r\n", NameKind::Vocabulary, "control character"},
        {std::string("nul\0x", 5), NameKind::File, "control character"},
        {" lead", NameKind::Vocabulary, "starts or ends with a blank"},
        {"trail ", NameKind::WorkDirectory, "starts or ends with a blank"},
        {"_strings", NameKind::WorkDirectory, "word-string recordings"},
        {"_STRINGS", NameKind::WorkDirectory, "word-string recordings"},
        {"two words", NameKind::Word, "holds no blank"},
        {"", NameKind::Word, "is empty"},
        {".hidden", NameKind::Vocabulary, "starts with a dot"},
        {".w1", NameKind::WorkDirectory, "starts with a dot"},
        {"...", NameKind::File, "starts with a dot"},
        {std::string(kMaxNameLength + 1, 'v'), NameKind::Vocabulary, "longer than 200 bytes"},
        {std::string(kMaxNameLength + 1, 'w'), NameKind::WorkDirectory, "longer than 200 bytes"},
        {std::string(kMaxNameLength + 1, 'f'), NameKind::File, "longer than 200 bytes"},
        {std::string(kMaxNameLength + 1, 'o'), NameKind::Word, "longer than 200 bytes"},
        {std::string(kMaxNameLength - 1, 'x') + "\xc3\xa9", NameKind::File, "longer than 200 bytes"},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.name);
        auto problem = nameProblem(c.name, c.kind);
        ASSERT_TRUE(problem.has_value());
        EXPECT_NE(problem->find(c.because), std::string::npos) << *problem;
        EXPECT_NE(problem->find(nameKindText(c.kind) + 1), std::string::npos) << *problem;  // names what it checks
        std::string message;
        EXPECT_FALSE(checkName(c.name, c.kind, &message));
        EXPECT_EQ(message, *problem);
    }
}

TEST(NameCheck, AcceptsOrdinaryNames)
{
    const std::pair<std::string, NameKind> accepted[] = {
        {"digits", NameKind::Vocabulary},   {"my digits", NameKind::Vocabulary}, {"w1", NameKind::WorkDirectory},
        {"_strings", NameKind::Vocabulary}, {"_strings", NameKind::File},        {"SXY01", NameKind::File},
        {"x", NameKind::File},              {"one_two", NameKind::Word},         {"S.1", NameKind::File},
        {".5", NameKind::Word},             {std::string(kMaxNameLength, 'x'), NameKind::File},
    };
    for (const auto& [name, kind] : accepted) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(nameProblem(name, kind).has_value()) << *nameProblem(name, kind);
    }
    EXPECT_TRUE(isStringsFolderName("_Strings"));
    EXPECT_FALSE(isStringsFolderName("_strings2"));
}
