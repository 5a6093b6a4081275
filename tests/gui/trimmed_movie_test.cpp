// The trimming settings dialog, the compressor chooser behind its "詳細..." button, and saving
// the trimmed movie through the real command: the file dialog, the rename or the profile
// conversion onto the target, the refusal of the open video's own name, failures that keep the
// old target, and a cancelled save.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <QAction>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>

#include "frame/compressor_choose_dlg.h"
#include "frame/config_trimming_dlg.h"
#include "frame/progress_dlg.h"
#include "output/codec_option.h"
#include "platform/compressors.h"
#include "platform/four_cc.h"
#include "platform/path_util.h"
#include "platform/string_table.h"
#include "reading/avi_video_stream.h"
#include "settings/inifile_manager.h"
#include "support/app_fixture.h"
#include "support/modal_script.h"

namespace {

using kivra::test::Answer;
using kivra::test::Cancel;
using kivra::test::MessageBoxCatcher;
using kivra::test::ModalScript;
using kivra::test::ReadFile;
namespace fs = std::filesystem;

// A step on the modal window when it is a T. A dialog it opened may already be hidden while
// its event loop still runs (and runs this step's timer): the step waits until that is over.
template <class T>
ModalScript::Step On(std::function<void(T&)> act) {
    return [act](QWidget* modal) {
        auto* dialog = qobject_cast<T*>(modal);
        if (dialog == nullptr || dialog->template findChild<QDialog*>() != nullptr) {
            return false;
        }
        act(*dialog);
        return true;
    };
}

// Clicks once the current step is over, so a window the click opens runs the next steps.
void ClickLater(QAbstractButton* button) {
    QMetaObject::invokeMethod(
        button, [button] { QTest::mouseClick(button, Qt::LeftButton); }, Qt::QueuedConnection);
}

void ClickOk(QDialog& dialog) {
    ClickLater(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok));
}

void ClickCancel(QDialog& dialog) {
    ClickLater(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel));
}

// In the chooser: select the compressor, type the options line, press OK.
ModalScript::Step Choose(const QString& code, const QString& options = QString()) {
    return On<CCompressorChooseDlg>([code, options](CCompressorChooseDlg& d) {
        EXPECT_TRUE(d.SelectCode(code)) << code.toStdString();
        d.Options()->setText(options);
        ClickOk(d);
    });
}

// The same with the chooser's quality, key-frame interval and data rate.
ModalScript::Step ChooseWith(const QString& code, const QString& options, int quality,
                             int keyFrames, int dataRate) {
    return On<CCompressorChooseDlg>([=](CCompressorChooseDlg& d) {
        EXPECT_TRUE(d.SelectCode(code)) << code.toStdString();
        d.Options()->setText(options);
        d.Quality()->setValue(quality);
        d.KeyFrames()->setValue(keyFrames);
        d.DataRate()->setValue(dataRate);
        ClickOk(d);
    });
}

// A code the chooser refuses whatever the trial says, among the installed compressors.
QString RefusedInstalledCode() {
    for (const char* code : {"MP43", "MPG4", "MSVC"}) {
        const auto found = kivra::FindCompressor(kivra::MakeFourCC(code));
        if (found && found->codeText == code) {
            return QString::fromLatin1(code);
        }
    }
    return {};
}

ModalScript::Step OpenChooser() {
    return On<CConfigTrimming>([](CConfigTrimming& d) { ClickLater(d.DetailButton()); });
}

// In the save dialog: pick filter `index` (1-based), type the name, press Enter.
ModalScript::Step SaveAs(int index, const std::string& path) {
    return On<QFileDialog>([index, path](QFileDialog& d) {
        d.selectNameFilter(d.nameFilters().at(index - 1));
        auto* edit = d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        edit->setText(QString::fromStdString(path));
        QMetaObject::invokeMethod(
            edit, [edit] { QTest::keyClick(edit, Qt::Key_Return); }, Qt::QueuedConnection);
    });
}

// Files this process writes may not grow past `bytes` while it lives; a write beyond fails
// with EFBIG instead of raising SIGXFSZ.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = SIG_DFL;
};

QString Text(int id) {
    return QString::fromStdString(kivra::LoadString(id));
}

class TrimmedMovieTest : public kivra::test::AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        m_frame->resize(1000, 760);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_frame));
    }

    ZebsCCodecOption& Codec() { return m_app->GetDocument()->CodecOption(); }
    std::string StateFile() const { return kivra::JoinPath(m_app->SettingsFolder(), "Kivra.cdc"); }
    QAction* Act(kivra::CommandId id) {
        m_frame->UpdateCommandUI();
        return m_frame->Action(id);
    }
    // The sample (or another video) opened with both areas set: what the save command needs.
    void OpenWithAreas(const std::string& video = std::string()) {
        Open(video.empty() ? m_sample : video);
        Paint();
        ASSERT_TRUE(Act(kivra::ID_TRIMMING_AREA)->isEnabled());
        Act(kivra::ID_TRIMMING_AREA)->trigger();
        Paint();
        Click(At(0.35, 0.5));
        Click(At(0.6, 0.5));
        ASSERT_TRUE(m_frame->Session().AreasSet());
    }
    // Profiles read from the scratch folder: AVI, MP4 and one whose encoder cannot run.
    void UseProfiles() {
        std::ofstream(m_dir.File("profile.ini"))
            << "[Output]\nFilter1=AVI file(*.avi)|*.avi|\nCommand1=\n"
               "Filter2=MP4 file(*.mp4)|*.mp4|\n"
               "Command2=-i \"<%input%>\" -c:v mpeg4 -y \"<%output%>\"\n"
               "Filter3=MKV file(*.mkv)|*.mkv|\n"
               "Command3=-i \"<%input%>\" -c:v no_such_encoder -y \"<%output%>\"\n";
        m_app->GetDocument()->Encoder().SetProfileFolder(m_dir.path());
    }
    void UseMjpeg(const std::string& options = "") {
        Codec().m_compVars.fccHandler = kivra::MakeFourCC("MJPG");
        Codec().m_compVars.state = options;
    }
    // Runs the save command with the user's part scripted.
    void Save(std::deque<ModalScript::Step> steps) {
        QAction* save = Act(kivra::ID_TRIMMING_SAVE_MOVIE);
        ASSERT_TRUE(save->isEnabled());
        ModalScript user(std::move(steps));
        save->trigger();
        WaitForJobs();
        EXPECT_TRUE(user.Done());
    }
    // Files in the scratch folder whose name holds `part`.
    std::vector<std::string> FilesWith(const std::string& part) const {
        std::vector<std::string> names;
        for (const fs::directory_entry& e : fs::directory_iterator(m_dir.path())) {
            const std::string name = e.path().filename().string();
            if (name.find(part) != std::string::npos) {
                names.push_back(name);
            }
        }
        return names;
    }
    int FrameCount(const std::string& path) const {
        CAviVideoStream stream(path);
        return stream.OpenStream() == 0 ? stream.GetFrameCount() : -1;
    }
};

TEST_F(TrimmedMovieTest, SettingsDialogOpensOnTheSettingsAndOnlyOkWritesThem) {
    m_frame->Session().SetOutput(2, 0);
    OpenWithAreas();
    const kivra::PixelRect uprightArea = m_frame->Session().Area1().rect;
    ASSERT_GT(uprightArea.Height(), uprightArea.Width());

    bool opened[2] = {};
    QString title;
    {
        ModalScript user({On<CConfigTrimming>([&](CConfigTrimming& d) {
            title = d.windowTitle();
            opened[0] = d.SizeButton(2)->isChecked() && !d.SizeButton(0)->isChecked();
            opened[1] = d.DirectionButton(0)->isChecked() && d.DirectionButton(0)->text() == "縦";
            d.SizeButton(1)->click();
            d.DirectionButton(1)->click();
            ClickOk(d);
        })});
        ASSERT_TRUE(Act(kivra::ID_TRIMMING_SETTINGS)->isEnabled());
        Act(kivra::ID_TRIMMING_SETTINGS)->trigger();
        EXPECT_TRUE(user.Done());
    }
    EXPECT_EQ(title, QStringLiteral("トリミングの設定"));
    EXPECT_TRUE(opened[0]);
    EXPECT_TRUE(opened[1]);
    EXPECT_EQ(m_frame->Session().SizeType(), 1);
    EXPECT_EQ(m_frame->Session().Direction(), 1);
    // The areas keep their places and take the landscape shape; the frames follow them.
    const kivra::PixelRect landscape = m_frame->Session().Area1().rect;
    EXPECT_GT(landscape.Width(), landscape.Height());
    EXPECT_NEAR((landscape.top + landscape.bottom) / 2.0,
                (uprightArea.top + uprightArea.bottom) / 2.0, 1);
    EXPECT_EQ(m_frame->Video().Annotations()->m_trimParam.At(0), landscape);

    // Cancel: size and direction stay, but a compressor chosen meanwhile is kept.
    {
        ModalScript user({On<CConfigTrimming>([](CConfigTrimming& d) {
                              d.SizeButton(2)->click();
                              d.DirectionButton(0)->click();
                          }),
                          OpenChooser(), Choose(QStringLiteral("MJPG")),
                          On<CConfigTrimming>([](CConfigTrimming& d) { ClickCancel(d); })});
        Act(kivra::ID_TRIMMING_SETTINGS)->trigger();
        EXPECT_TRUE(user.Done());
    }
    EXPECT_EQ(m_frame->Session().SizeType(), 1);
    EXPECT_EQ(m_frame->Session().Direction(), 1);
    EXPECT_EQ(m_frame->Session().Area1().rect, landscape);
    EXPECT_EQ(Codec().CodeText(), "MJPG");
    EXPECT_TRUE(fs::exists(StateFile()));
}

TEST_F(TrimmedMovieTest, ChooserRefusesUnusableCompressorsAndKeepsTheSavedChoice) {
    const QString refused = RefusedInstalledCode();
    ASSERT_FALSE(refused.isEmpty()) << "no refused code among the installed compressors";

    // Start-up seeds the recommended compressor; the dialog starts from whatever the document
    // holds.
    const QString initial = QString::fromStdString(Codec().GetCompressorName());
    QStringList names;  // the edit box after each choice
    const auto name = [&names] {
        return On<CConfigTrimming>(
            [&names](CConfigTrimming& d) { names << d.CompressorEdit()->text(); });
    };
    QString texts[2];
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    std::string optionsAfterRefusal;
    bool stateFileAfterMjpeg = false;
    {
        ModalScript user({
            name(),
            OpenChooser(),
            Choose(QStringLiteral("MJPG"), QStringLiteral("qmin=2:qmax=8")),
            name(),
            On<CConfigTrimming>(
                [&](CConfigTrimming&) { stateFileAfterMjpeg = fs::exists(StateFile()); }),
            // A refused code: message 2014, the old compressor stays.
            OpenChooser(),
            Choose(refused),
            [&](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                if (box != nullptr) {
                    icon = box->icon();
                }
                return Answer(QMessageBox::Ok, &texts[0])(modal);
            },
            name(),
            // A compressor the trial cannot use (an option it does not have): the same.
            OpenChooser(),
            Choose(QStringLiteral("FFV1"), QStringLiteral("no_such_option=1")),
            Answer(QMessageBox::Ok, &texts[1]),
            On<CConfigTrimming>([&](CConfigTrimming& d) {
                names << d.CompressorEdit()->text();
                optionsAfterRefusal = Codec().m_compVars.state;
                // Cancelled: the choice stays as it was when the chooser opened.
                Codec().m_compVars.state = "changed meanwhile";
                ClickLater(d.DetailButton());
            }),
            On<CCompressorChooseDlg>([](CCompressorChooseDlg& d) {
                d.SelectCode(QStringLiteral("DIB "));
                ClickCancel(d);
            }),
            name(),
            // The uncompressed entry passes; its state file is removed.
            OpenChooser(),
            Choose(QStringLiteral("DIB ")),
            name(),
            On<CConfigTrimming>([](CConfigTrimming& d) { ClickOk(d); }),
        });
        Act(kivra::ID_TRIMMING_SETTINGS)->trigger();
        EXPECT_TRUE(user.Done());
    }
    const QString mjpeg = QString::fromStdString(
        Codec().Installed().count("MJPG") ? Codec().Installed().at("MJPG") : "");
    ASSERT_EQ(names.size(), 6);
    EXPECT_EQ(names[0], initial);
    EXPECT_EQ(names[1], mjpeg);
    EXPECT_TRUE(stateFileAfterMjpeg);
    EXPECT_EQ(texts[0], Text(2014));
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_EQ(names[2], mjpeg);
    EXPECT_EQ(texts[1], Text(2014));
    EXPECT_EQ(names[3], mjpeg);
    EXPECT_EQ(optionsAfterRefusal, "qmin=2:qmax=8");
    EXPECT_EQ(names[4], mjpeg);
    EXPECT_EQ(names[5], QStringLiteral("No Compress"));
    EXPECT_EQ(Codec().CodeText(), "DIB ");
    EXPECT_FALSE(fs::exists(StateFile()));
}

// A refused or untried choice gives back the whole previous one, its chooser values too, also
// after the uncompressed choice has removed the state file.
TEST_F(TrimmedMovieTest, RefusedChoiceGivesBackTheWholePreviousChoice) {
    const QString refused = RefusedInstalledCode();
    ASSERT_FALSE(refused.isEmpty()) << "no refused code among the installed compressors";
    using Vars = std::tuple<std::string, int, int, int, std::string>;
    Vars afterMjpeg, afterRefusal, afterFailedTrial, afterCancel, afterDib, afterDibRefusal,
        afterDibFailedTrial;
    // Notes the document's whole choice once the dialog is back.
    const auto note = [this](Vars& into) {
        return On<CConfigTrimming>([this, &into](CConfigTrimming&) {
            const kivra::CompressorVars& v = Codec().m_compVars;
            into = {kivra::FourCCText(v.fccHandler), v.quality, v.keyFrameEvery, v.dataRate,
                    v.state};
        });
    };
    QStringList texts;
    const auto answer = [&texts] {
        return [&texts](QWidget* modal) {
            QString text;
            const bool done = Answer(QMessageBox::Ok, &text)(modal);
            if (done) {
                texts << text;
            }
            return done;
        };
    };
    const QString failing = QStringLiteral("no_such_option=1");
    {
        ModalScript user({
            OpenChooser(),
            ChooseWith(QStringLiteral("MJPG"), QStringLiteral("qmin=2"), 7000, 10, 0),
            note(afterMjpeg),
            OpenChooser(),
            ChooseWith(refused, QString(), 100, 99, 500),
            answer(),
            note(afterRefusal),
            OpenChooser(),
            ChooseWith(QStringLiteral("FFV1"), failing, 200, 3, 700),
            answer(),
            note(afterFailedTrial),
            OpenChooser(),
            On<CCompressorChooseDlg>([](CCompressorChooseDlg& d) {
                d.SelectCode(QStringLiteral("FFV1"));
                d.Quality()->setValue(300);
                ClickCancel(d);
            }),
            note(afterCancel),
            // The uncompressed choice removes the state file: nothing can be read back from it.
            OpenChooser(),
            ChooseWith(QStringLiteral("DIB "), QString(), -1, 0, 0),
            note(afterDib),
            OpenChooser(),
            ChooseWith(refused, QString(), 100, 99, 500),
            answer(),
            note(afterDibRefusal),
            OpenChooser(),
            ChooseWith(QStringLiteral("FFV1"), failing, 200, 3, 700),
            answer(),
            note(afterDibFailedTrial),
            On<CConfigTrimming>([](CConfigTrimming& d) {
                EXPECT_EQ(d.CompressorEdit()->text(), QStringLiteral("No Compress"));
                ClickOk(d);
            }),
        });
        Act(kivra::ID_TRIMMING_SETTINGS)->trigger();
        EXPECT_TRUE(user.Done());
    }
    EXPECT_EQ(texts, QStringList(4, Text(2014)));
    EXPECT_EQ(afterMjpeg, Vars("MJPG", 7000, 10, 0, "qmin=2"));
    EXPECT_EQ(afterRefusal, afterMjpeg);
    EXPECT_EQ(afterFailedTrial, afterMjpeg);
    EXPECT_EQ(afterCancel, afterMjpeg);
    EXPECT_EQ(afterDib, Vars("DIB ", -1, 0, 0, ""));
    EXPECT_EQ(afterDibRefusal, afterDib);
    EXPECT_EQ(afterDibFailedTrial, afterDib);
    // Nothing unusable is written for the next run at exit.
    const std::string stateFile = StateFile();
    m_app->ExitInstance();
    m_app.reset();
    EXPECT_FALSE(fs::exists(stateFile)) << ReadFile(stateFile);
}

TEST_F(TrimmedMovieTest, ChooserShowsEachCodeOnceAndWritesOnlyOnOk) {
    kivra::CompressorVars vars;
    vars.fccHandler = kivra::MakeFourCC("MJPG");
    vars.quality = 7500;
    vars.state = "qmin=2";
    {
        CCompressorChooseDlg dialog(vars);
        QSet<QString> codes;
        for (int i = 0; i < dialog.List()->topLevelItemCount(); ++i) {
            const QString code = dialog.List()->topLevelItem(i)->text(0);
            EXPECT_FALSE(codes.contains(code)) << code.toStdString();
            codes.insert(code);
        }
        EXPECT_EQ(dialog.SelectedCode(), QStringLiteral("MJPG"));
        EXPECT_EQ(dialog.Quality()->value(), 7500);
        EXPECT_EQ(dialog.Options()->text(), QStringLiteral("qmin=2"));
        // Another encoder does not inherit the options line; going back restores it.
        ASSERT_TRUE(dialog.SelectCode(QStringLiteral("FFV1")));
        EXPECT_TRUE(dialog.Options()->text().isEmpty());
        ASSERT_TRUE(dialog.SelectCode(QStringLiteral("MJPG")));
        EXPECT_EQ(dialog.Options()->text(), QStringLiteral("qmin=2"));
        ASSERT_TRUE(dialog.SelectCode(QStringLiteral("DIB ")));
        EXPECT_FALSE(dialog.Quality()->isEnabled());
        dialog.reject();
    }
    EXPECT_EQ(vars.fccHandler, kivra::MakeFourCC("MJPG"));
    EXPECT_EQ(vars.state, "qmin=2");
    {
        CCompressorChooseDlg dialog(vars);
        ASSERT_TRUE(dialog.SelectCode(QStringLiteral("FFV1")));
        dialog.KeyFrames()->setValue(12);
        dialog.Options()->setText(QStringLiteral(" level=3 "));
        dialog.accept();
    }
    EXPECT_EQ(vars.fccHandler, kivra::MakeFourCC("FFV1"));
    EXPECT_EQ(vars.keyFrameEvery, 12);
    EXPECT_EQ(vars.state, "level=3");
}

TEST_F(TrimmedMovieTest, SavesAviByRenameAndOtherFormatsThroughTheirProfile) {
    UseProfiles();
    UseMjpeg();
    OpenWithAreas();
    m_frame->Session().SetPlayRange(5, 14);
    MessageBoxCatcher none;

    // ".AVI" with the MP4 filter chosen: the intermediate is renamed, no encoder runs.
    const std::string avi = m_dir.File("walk 'one' $x.AVI");
    Save({SaveAs(2, avi)});
    EXPECT_EQ(FrameCount(avi), 10);
    EXPECT_EQ(m_frame->Settings().Trimming().filterIndex, 2);
    EXPECT_TRUE(FilesWith("$out$").empty());
    EXPECT_EQ(ReadFile(m_app->GetDocument()->Encoder().LogPath()).find("[F]:"), std::string::npos);
    EXPECT_EQ(m_frame->Cursor().Current(), 5);  // the range start is shown
    EXPECT_EQ(m_frame->statusBar()->currentMessage(),
              QStringLiteral("動画を保存しました: ") + QString::fromStdString(avi));

    // ".mp4": converted with profile 2, the intermediate and the conversion's file gone.
    const std::string mp4 = m_dir.File("walk.mp4");
    Save({SaveAs(2, mp4)});
    const std::string written = ReadFile(mp4);
    ASSERT_GT(written.size(), 8u);
    EXPECT_EQ(written.substr(4, 4), "ftyp");
    EXPECT_TRUE(FilesWith("$out$").empty());
    EXPECT_TRUE(FilesWith("$new").empty());
    EXPECT_NE(ReadFile(m_app->GetDocument()->Encoder().LogPath()).find("[F]:"), std::string::npos);

    // What an interrupted save left under the intermediate's name does not stop the next one.
    const std::string again = m_dir.File("again.avi");
    ASSERT_TRUE(kivra::test::WriteFile(m_dir.File("again.$out$.avi"), "left over"));
    Save({SaveAs(2, again)});
    EXPECT_EQ(FrameCount(again), 10);
    EXPECT_TRUE(FilesWith("$out$").empty());
    EXPECT_TRUE(none.Texts().isEmpty()) << none.Texts().join('|').toStdString();
}

TEST_F(TrimmedMovieTest, RefusesTheOpenVideoAndKeepsTheOldTargetWhenSavingFails) {
    UseProfiles();
    OpenWithAreas();
    m_frame->Settings().Trimming().filterIndex = 1;

    // The open video's own name in other letters: 2018, nothing written, nothing stored.
    const std::string shouted = m_dir.File("WALKER.avi");
    QString text;
    Save({SaveAs(2, shouted), Answer(QMessageBox::Ok, &text)});
    EXPECT_EQ(text, Text(2018));
    EXPECT_FALSE(fs::exists(shouted));
    EXPECT_TRUE(FilesWith("$out$").empty());
    EXPECT_EQ(m_frame->Settings().Trimming().filterIndex, 1);

    // Cancel in the dialog: nothing happens.
    Save({Cancel()});
    EXPECT_EQ(m_frame->Settings().Trimming().filterIndex, 1);

    // The encoder cannot be set up: the writer's message, then "Export error!!"; the file
    // the user agreed to replace is still the old one.
    const std::string avi = m_dir.File("keep.avi");
    ASSERT_TRUE(kivra::test::WriteFile(avi, "keep me"));
    UseMjpeg("no_such_option=1");
    QString writerText, errorText;
    Save({SaveAs(1, avi), Answer(QMessageBox::Yes), Answer(QMessageBox::Ok, &writerText),
          Answer(QMessageBox::Ok, &errorText)});
    EXPECT_FALSE(writerText.isEmpty());
    EXPECT_EQ(errorText, QStringLiteral("Export error!!"));
    EXPECT_EQ(ReadFile(avi), "keep me");
    EXPECT_TRUE(FilesWith("$out$").empty());

    // The profile's encoder fails: reported, the old file kept, no file of the way left.
    UseMjpeg();
    const std::string mkv = m_dir.File("keep.mkv");
    ASSERT_TRUE(kivra::test::WriteFile(mkv, "keep me too"));
    errorText.clear();
    Save({SaveAs(3, mkv), Answer(QMessageBox::Yes), Answer(QMessageBox::Ok, &errorText)});
    EXPECT_EQ(errorText, QStringLiteral("Export error!!"));
    EXPECT_EQ(ReadFile(mkv), "keep me too");
    EXPECT_TRUE(m_frame->statusBar()->currentMessage().isEmpty()) << "a failure claims no file";
    EXPECT_TRUE(FilesWith("$out$").empty());
    EXPECT_TRUE(FilesWith("$new").empty());
    EXPECT_EQ(m_frame->Settings().Trimming().filterIndex, 3);

    // The disk fills while frames are written (a file-size limit stands in for it): reported,
    // the old file kept, nothing of the way left.
    errorText.clear();
    {
        const FileSizeLimit limit(32 * 1024);
        Save({SaveAs(1, avi), Answer(QMessageBox::Yes), Answer(QMessageBox::Ok, &errorText)});
    }
    EXPECT_EQ(errorText, QStringLiteral("Export error!!"));
    EXPECT_EQ(ReadFile(avi), "keep me");
    EXPECT_TRUE(FilesWith("$out$").empty());
}

TEST_F(TrimmedMovieTest, RefusesATargetWhoseConvertedFileIsTheOpenVideo) {
    UseProfiles();
    UseMjpeg();
    // An MP4 whose name is what saving clip.mp4 converts into.
    const std::string source = m_dir.File("clip.$out$.mp4");
    ASSERT_TRUE(kivra::test::RunFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=320x240:rate=25",
                                        "-frames:v", "20", "-c:v", "mpeg4", source}));
    const std::string bytes = ReadFile(source);
    OpenWithAreas(source);
    QString text;
    Save({SaveAs(2, m_dir.File("clip.mp4")), Answer(QMessageBox::Ok, &text)});
    EXPECT_EQ(text, Text(2018));
    EXPECT_EQ(ReadFile(source), bytes);
    EXPECT_FALSE(fs::exists(m_dir.File("clip.mp4")));
    EXPECT_TRUE(FilesWith("$out$.avi").empty());

    // What a killed save left under both scratch names goes with the next save.
    ASSERT_TRUE(kivra::test::WriteFile(m_dir.File("next.$out$.avi"), "left over"));
    ASSERT_TRUE(kivra::test::WriteFile(m_dir.File("next.$out$.mp4"), "left over"));
    Save({SaveAs(2, m_dir.File("next.mp4"))});
    EXPECT_EQ(ReadFile(m_dir.File("next.mp4")).substr(4, 4), "ftyp");
    EXPECT_TRUE(FilesWith("next.$out$").empty());
}

TEST_F(TrimmedMovieTest, CancelledSaveLeavesNothingAndShowsNoError) {
    UseMjpeg();
    OpenWithAreas();
    const std::string avi = m_dir.File("stopped.avi");
    bool offered = false;
    QTimer stopper;
    QObject::connect(&stopper, &QTimer::timeout, [&] {
        CProgressDlg* progress = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* dlg = qobject_cast<CProgressDlg*>(w); dlg != nullptr && dlg->isVisible()) {
                progress = dlg;
            }
        }
        if (progress != nullptr && progress->isVisible() && progress->CancelButton()->isVisible() &&
            progress->CancelButton()->isEnabled()) {
            offered = true;
            QTest::mouseClick(progress->CancelButton(), Qt::LeftButton);
        }
    });
    stopper.start(0);
    MessageBoxCatcher none;
    Save({SaveAs(1, avi)});
    stopper.stop();
    EXPECT_TRUE(offered);
    EXPECT_FALSE(fs::exists(avi));
    EXPECT_TRUE(FilesWith("$out$").empty());
    EXPECT_TRUE(none.Texts().isEmpty());
    EXPECT_TRUE(m_frame->isEnabled());
    EXPECT_EQ(m_frame->Cursor().Current(), 0);
    EXPECT_TRUE(m_frame->statusBar()->currentMessage().isEmpty()) << "nothing was saved";
}

// The save runs beside the window: while it works the picture repaints, timers fire and keys
// reach no command; the saved message comes once the progress dialog has gone.
TEST_F(TrimmedMovieTest, WindowPaintsAndTimersFireWhileTheSaveRuns) {
    UseMjpeg();
    OpenWithAreas();
    const std::string avi = m_dir.File("beside the window.avi");
    const int deinterlace = m_frame->Settings().Trimming().deinterlace;
    int ticks = 0;
    int paints = 0;
    bool keySent = false;
    bool dialogAtEnd = true;
    class PaintsWhileBusy : public QObject {
    public:
        PaintsWhileBusy(CMainFrame* frame, int& paints) : m_frame(frame), m_paints(paints) {}
        bool eventFilter(QObject*, QEvent* event) override {
            m_paints += event->type() == QEvent::Paint && m_frame->Jobs().Busy() ? 1 : 0;
            return false;
        }

    private:
        CMainFrame* m_frame;
        int& m_paints;
    } counter(m_frame, paints);
    m_view->installEventFilter(&counter);
    QTimer beat;
    QObject::connect(&beat, &QTimer::timeout, [&] {
        if (!m_frame->Jobs().Busy()) {
            return;
        }
        ++ticks;
        m_view->update();
        if (!keySent) {
            keySent = true;
            QTest::keySequence(m_frame, QKeySequence(Qt::CTRL | Qt::Key_D));  // deinterlace
        }
    });
    beat.start(1);
    QObject::connect(m_frame->statusBar(), &QStatusBar::messageChanged, [&] {
        dialogAtEnd = false;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            dialogAtEnd = dialogAtEnd || (qobject_cast<CProgressDlg*>(w) && w->isVisible());
        }
    });
    Save({SaveAs(1, avi)});
    beat.stop();
    m_view->removeEventFilter(&counter);

    EXPECT_GT(ticks, 0);
    EXPECT_GT(paints, 0);
    EXPECT_TRUE(keySent);
    EXPECT_EQ(m_frame->Settings().Trimming().deinterlace, deinterlace)
        << "no command ran during the save";
    EXPECT_FALSE(dialogAtEnd);
    EXPECT_EQ(FrameCount(avi), m_frame->Session().RangeEnd() - m_frame->Session().RangeStart() + 1);
    EXPECT_TRUE(m_frame->isEnabled());
}

}  // namespace
