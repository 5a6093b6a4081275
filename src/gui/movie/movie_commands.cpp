#include "movie/movie_commands.h"

#include <QCoreApplication>
#include <QMenu>

#include "base/command_table.h"
#include "frame/playback_controller.h"

namespace kivra {

namespace {

// The menus keep the main window's translation context.
QString Menu(const char* text) {
    return QCoreApplication::translate("CMainFrame", text);
}

}  // namespace

void AddMovieCommands(CommandTable& table, QMenu* movie, CPlaybackController& playback) {
    CPlaybackController* const p = &playback;
    const auto canStep = [p] { return p->CanStep(); };
    table.AddCommand(
        movie, ID_MOVIE_FIRST, Menu(QT_TRANSLATE_NOOP("CMainFrame", "最初(&F)\tHome")),
        QKeySequence(Qt::Key_Home), [p] { p->First(); }, canStep);
    table.AddCommand(
        movie, ID_MOVIE_BACK, Menu(QT_TRANSLATE_NOOP("CMainFrame", "戻る(&B)\t<-")),
        QKeySequence(Qt::Key_Left), [p] { p->Previous(); }, canStep);
    movie->addSeparator();
    table.AddCommand(
        movie, ID_MOVIE_STOP, Menu(QT_TRANSLATE_NOOP("CMainFrame", "停止(&S)\tF7")),
        QKeySequence(Qt::Key_F7), [p] { p->Stop(); }, [p] { return p->CanStop(); });
    table.AddCommand(
        movie, ID_MOVIE_PLAY, Menu(QT_TRANSLATE_NOOP("CMainFrame", "再生(&P)\tF8")),
        QKeySequence(Qt::Key_F8), [p] { p->Play(); }, [p] { return p->CanPlay(); });
    table.AddCommand(
        movie, ID_MOVIE_REVERSE_PLAY, Menu(QT_TRANSLATE_NOOP("CMainFrame", "逆再生(&R)\tShift+F8")),
        QKeySequence(Qt::SHIFT | Qt::Key_F8), [p] { p->ReversePlay(); },
        [p] { return p->CanPlay(); });
    movie->addSeparator();
    table.AddCommand(
        movie, ID_MOVIE_NEXT, Menu(QT_TRANSLATE_NOOP("CMainFrame", "進む(&N)\t->")),
        QKeySequence(Qt::Key_Right), [p] { p->Next(); }, canStep);
    table.AddCommand(
        movie, ID_MOVIE_LAST, Menu(QT_TRANSLATE_NOOP("CMainFrame", "最後(&L)\tEnd")),
        QKeySequence(Qt::Key_End), [p] { p->Last(); }, canStep);
}

}  // namespace kivra
