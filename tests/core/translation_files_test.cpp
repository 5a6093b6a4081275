// The translation files against today's sources: every Japanese text is marked for
// translation, the files hold exactly what lupdate finds, and every entry is translated with
// the pieces the program reads back (placeholders, shortcuts, filter patterns) intact.
#include <gtest/gtest.h>

#include <QFile>
#include <QString>
#include <QXmlStreamReader>
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/ffmpeg_tool.h"

namespace {

namespace fs = std::filesystem;
using kivra::test::ReadFile;
using kivra::test::TempDir;

const fs::path kSourceDir = KIVRA_SOURCE_DIR;
const fs::path kEnglish = kSourceDir / "resources/translations/kivra_en.ts";
// How the files are brought up to date; the update_translations target runs the same.
const std::vector<std::string> kLupdateArgs = {
    "-locations", "none", "-no-obsolete", "-source-language", "ja", "src", "tools"};
const char* const kHowToUpdate =
    "mark the text with tr(), QCoreApplication::translate() or QT_TRANSLATE_NOOP(), run "
    "`ninja -C build update_translations` and translate what it adds to "
    "resources/translations/kivra_en.ts";
// Pellam is a program of its own that links nothing of Kivra and words its one message in
// both languages itself.
const std::set<fs::path> kOwnLanguageFolders = {kSourceDir / "src/installer"};

struct Message {
    std::string context;
    std::string source;
    std::string translation;
    bool finished = false;
};

std::vector<Message> ReadTs(const fs::path& path) {
    QFile file(QString::fromStdString(path.string()));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path;
    QXmlStreamReader xml(&file);
    std::vector<Message> messages;
    std::string context;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        if (xml.name() == u"name") {
            context = xml.readElementText().toStdString();
        } else if (xml.name() == u"message") {
            messages.push_back({context, "", "", false});
        } else if (xml.name() == u"source" && !messages.empty()) {
            messages.back().source = xml.readElementText().toStdString();
        } else if (xml.name() == u"translation" && !messages.empty()) {
            messages.back().finished = xml.attributes().value(QLatin1String("type")).isEmpty();
            messages.back().translation = xml.readElementText().toStdString();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return messages;
}

bool HasJapanese(const std::string& text) {
    for (const QChar c : QString::fromStdString(text)) {
        if ((c.unicode() >= 0x3000 && c.unicode() <= 0x9fff) ||
            (c.unicode() >= 0xff00 && c.unicode() <= 0xffef)) {
            return true;
        }
    }
    return false;
}

struct Literal {
    std::string text;  // adjacent literals joined, escapes decoded
    bool marked;       // an argument of a translation call
};

// The string literals of C++ source outside comments, each with whether it is an argument of
// tr, translate or a QT_*_NOOP mark. Enough of C++ for this code base: comments, character
// literals, escapes and raw strings.
std::vector<Literal> StringLiterals(const std::string& code) {
    static const std::set<std::string> kMarks = {"tr", "translate", "QT_TR_NOOP",
                                                 "QT_TRANSLATE_NOOP", "QT_TRANSLATE_NOOP3"};
    std::vector<Literal> literals;
    std::vector<std::string> callers;  // the identifier before each open parenthesis
    std::string identifier;
    std::size_t i = 0;
    const auto decodeQuoted = [&]() {
        std::string text;
        ++i;  // the opening quote
        while (i < code.size() && code[i] != '"') {
            if (code[i] == '\\' && i + 1 < code.size()) {
                const char e = code[++i];
                text += e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e;
            } else {
                text += code[i];
            }
            ++i;
        }
        ++i;  // the closing quote
        return text;
    };
    const auto decodeRaw = [&]() {
        const std::size_t open = code.find('(', i);
        const std::string end = ")" + code.substr(i + 1, open - i - 1) + "\"";
        const std::size_t close = code.find(end, open);
        std::string text = code.substr(open + 1, close - open - 1);
        i = close + end.size();
        return text;
    };
    while (i < code.size()) {
        const char c = code[i];
        if (code.compare(i, 2, "//") == 0) {
            i = code.find('\n', i);
            i = i == std::string::npos ? code.size() : i;
        } else if (code.compare(i, 2, "/*") == 0) {
            i = code.find("*/", i + 2);
            i = i == std::string::npos ? code.size() : i + 2;
        } else if (c == '\'' && !(i > 0 && std::isdigit((unsigned char)code[i - 1]))) {
            for (++i; i < code.size() && code[i] != '\''; ++i) {
                i += code[i] == '\\' ? 1 : 0;
            }
            ++i;
        } else if (c == '"') {
            const bool raw = identifier == "R" || identifier == "u8R" || identifier == "LR";
            std::string text = raw ? decodeRaw() : decodeQuoted();
            for (;;) {  // "a" "b" is one literal
                std::size_t next = i;
                while (next < code.size() && std::isspace((unsigned char)code[next])) {
                    ++next;
                }
                if (next >= code.size() || code[next] != '"') {
                    break;
                }
                i = next;
                text += decodeQuoted();
            }
            literals.push_back({text, !callers.empty() && kMarks.count(callers.back()) != 0});
            identifier.clear();
        } else if (std::isalnum((unsigned char)c) || c == '_') {
            if (i == 0 || !(std::isalnum((unsigned char)code[i - 1]) || code[i - 1] == '_')) {
                identifier.clear();
            }
            identifier += c;
            ++i;
        } else {
            if (c == '(') {
                callers.push_back(identifier);
            } else if (c == ')' && !callers.empty()) {
                callers.pop_back();
            }
            if (!std::isspace((unsigned char)c)) {
                identifier.clear();
            }
            ++i;
        }
    }
    return literals;
}

TEST(TranslationFiles, TheScanFindsMarkedAndUnmarkedTexts) {
    const std::vector<Literal> found = StringLiterals(
        "a(tr(\"表示\"));  // \"コメント\"\n"
        "b(QStringLiteral(\"未訳\"), '\"', 1'000);\n"
        "c(QCoreApplication::translate(\"Ctx\", \"前\" \"後\"), f(\"x\"));\n"
        "d({1, QT_TRANSLATE_NOOP(\"T\", \"改\\n行\")}, R\"(生\"文字)\");\n"
        "/* \"ブロック\" */");
    std::vector<std::pair<std::string, bool>> japanese;
    for (const Literal& l : found) {
        if (HasJapanese(l.text)) {
            japanese.emplace_back(l.text, l.marked);
        }
    }
    const std::vector<std::pair<std::string, bool>> expected = {
        {"表示", true}, {"未訳", false}, {"前後", true}, {"改\n行", true}, {"生\"文字", false}};
    EXPECT_EQ(japanese, expected);
}

TEST(TranslationFiles, EveryJapaneseTextOfTheProgramIsMarkedForTranslation) {
    std::vector<std::string> unmarked;
    std::size_t marked = 0;
    for (const char* folder : {"src", "tools"}) {
        for (const auto& entry : fs::recursive_directory_iterator(kSourceDir / folder)) {
            const fs::path& path = entry.path();
            const bool own = std::any_of(
                kOwnLanguageFolders.begin(), kOwnLanguageFolders.end(),
                [&](const fs::path& f) { return path.string().rfind(f.string() + "/", 0) == 0; });
            if (own || (path.extension() != ".cpp" && path.extension() != ".h")) {
                continue;
            }
            for (const Literal& l : StringLiterals(ReadFile(path.string()))) {
                if (!HasJapanese(l.text)) {
                    continue;
                }
                if (l.marked) {
                    ++marked;
                } else {
                    unmarked.push_back(fs::relative(path, kSourceDir).string() + ": " + l.text);
                }
            }
        }
    }
    EXPECT_GT(marked, 100u);
    for (const std::string& text : unmarked) {
        ADD_FAILURE() << "not marked for translation: " << text << "\n  " << kHowToUpdate;
    }
}

TEST(TranslationFiles, HoldExactlyTheTextsOfTodaysSources) {
    // lupdate on a copy must leave it as it is: no new text, none gone, nothing reordered.
    TempDir dir("kivra ts");
    const std::string copy = dir.File("kivra_en.ts");
    fs::copy_file(kEnglish, copy);
    std::vector<std::string> argv = {"sh", "-c", "cd \"$0\" && exec \"$@\" > /dev/null 2>&1",
                                     kSourceDir.string(), KIVRA_LUPDATE};
    argv.insert(argv.end(), kLupdateArgs.begin(), kLupdateArgs.end());
    argv.insert(argv.end(), {"-ts", copy});
    ASSERT_TRUE(kivra::test::RunProgram(argv));
    EXPECT_TRUE(ReadFile(copy) == ReadFile(kEnglish.string()))
        << "resources/translations/kivra_en.ts is not up to date with the sources: "
        << kHowToUpdate;
}

std::size_t Count(const std::string& text, const std::string& piece) {
    std::size_t n = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos;
         at = text.find(piece, at + piece.size())) {
        ++n;
    }
    return n;
}

TEST(TranslationFiles, EveryEntryIsTranslatedWithWhatTheProgramReadsBackIntact) {
    const std::vector<Message> messages = ReadTs(kEnglish);
    EXPECT_GT(messages.size(), 100u);
    for (const Message& m : messages) {
        SCOPED_TRACE(m.context + ": " + m.source);
        EXPECT_TRUE(m.finished && !m.translation.empty())
            << "untranslated in resources/translations/kivra_en.ts";
        if (m.translation.empty()) {
            continue;
        }
        // Placeholders, the shortcut shown after a tab, the patterns of a file filter, and
        // the entries of a comma list.
        EXPECT_EQ(Count(m.translation, "%1"), Count(m.source, "%1"));
        const auto after = [](const std::string& text, char c) {
            const std::size_t at = text.find(c);
            return at == std::string::npos ? std::string() : text.substr(at);
        };
        EXPECT_EQ(after(m.translation, '\t'), after(m.source, '\t'));
        EXPECT_EQ(after(m.translation, '|'), after(m.source, '|'));
        if (m.source.find(',') != std::string::npos) {
            EXPECT_EQ(Count(m.translation, ","), Count(m.source, ","));
        }
        // A menu entry keeps a key of its own.
        const bool accelerator = Count(m.source, "&") > 0;
        EXPECT_EQ(Count(m.translation, "&") > 0, accelerator);
        // Only a language's own name stays as it is.
        if (HasJapanese(m.translation)) {
            EXPECT_EQ(m.context, "LanguageMenu") << "still Japanese: " << m.translation;
        }
    }
}

}  // namespace
