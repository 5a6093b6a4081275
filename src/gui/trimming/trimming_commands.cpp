#include "trimming/trimming_commands.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>

#include "frame/config_trimming_dlg.h"
#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "view/vfw_view.h"

namespace kivra {

namespace {

// The menus keep the main window's translation context.
QString Menu(const char* text) {
    return QCoreApplication::translate("CMainFrame", text);
}

}  // namespace

void TrimmingCommands::AddCommands(QMenu* trimming) {
    CommandTable& table = m_context.table;
    const auto idHidden = [this] { return !m_host.IsMarkerIdDialogVisible(); };
    const auto videoIdle = [this] {
        return IsVideoOpen() && !m_host.IsPlaying() && !m_host.IsMarkerIdDialogVisible();
    };
    // The toolbar buttons show the modes as pressed; the menu items carry no check mark.
    table.AddCommand(
        trimming, ID_TRIMMING_SIDE_MODE, Menu(QT_TRANSLATE_NOOP("CMainFrame", "側面モード(&S)")),
        {}, [this] { SetTrimmingMode(kSideMode); }, idHidden);
    table.AddCommand(
        trimming, ID_TRIMMING_FRONT_MODE, Menu(QT_TRANSLATE_NOOP("CMainFrame", "正面モード(&F)")),
        {}, [this] { SetTrimmingMode(kFrontMode); }, idHidden);
    trimming->addSeparator();
    table.AddCommand(
        trimming, ID_TRIMMING_SETTINGS, Menu(QT_TRANSLATE_NOOP("CMainFrame", "設定(&G)...")), {},
        [this] { OnTrimmingSettings(); }, [] { return true; });
    trimming->addSeparator();
    table.AddCommand(
        trimming, ID_TRIMMING_AREA, Menu(QT_TRANSLATE_NOOP("CMainFrame", "エリア指定(&A)")), {},
        [this] { OnTrimmingArea(); }, videoIdle);
    table.AddCommand(
        trimming, ID_TRIMMING_AREA_CLEAR, Menu(QT_TRANSLATE_NOOP("CMainFrame", "エリアクリア(&C)")),
        {}, [this] { ClearAreas(); }, videoIdle);
    trimming->addSeparator();
    QMenu* mosaic =
        trimming->addMenu(Menu(QT_TRANSLATE_NOOP("CMainFrame", "モザイク領域の形(&M)")));
    const QString mosaicTexts[] = {Menu(QT_TRANSLATE_NOOP("CMainFrame", "モザイクなし(&N)")),
                                   Menu(QT_TRANSLATE_NOOP("CMainFrame", "タイプ1(&1)")),
                                   Menu(QT_TRANSLATE_NOOP("CMainFrame", "タイプ2(&2)")),
                                   Menu(QT_TRANSLATE_NOOP("CMainFrame", "タイプ3(&3)"))};
    for (int t = 0; t < 4; ++t) {
        if (t == 1) {
            mosaic->addSeparator();
        }
        table.AddCommand(
            mosaic, CommandId(ID_MOSAIC_NONE + t), mosaicTexts[t], {},
            [this, t] { OnMosaicType(t); }, [] { return true; },
            [this, t] { return Session().MosaicType() == t; });
    }
    table.RefreshOnShow(mosaic);
    trimming->addSeparator();
    table.AddCommand(
        trimming, ID_TRIMMING_PREVIEW, Menu(QT_TRANSLATE_NOOP("CMainFrame", "プレビュー(&P)")), {},
        [this] { OnTrimmingPreview(); },
        [this] {
            return IsVideoOpen() && Session().AreasSet() && !m_host.IsMarkerIdDialogVisible();
        });
}

void TrimmingCommands::SetTrimmingMode(int mode) {
    Session().RequestTrimmingMode(TrimmingModeOf(mode), [this] {
        if (Messages().ShowMessage(LoadString(kIdsAreasClearedQuestion), MsgButtons::YesNo,
                                   MsgIcon::Question) != MsgAnswer::Yes) {
            return false;
        }
        if (CVfwView* view = m_host.VideoView()) {
            view->ResetBoxHalfSize();  // the cleared areas start over at area 1's size
        }
        return true;
    });
}

void TrimmingCommands::ClearAreas() {
    if (CVfwView* view = m_host.VideoView()) {
        view->ResetBoxHalfSize();
    }
    Session().ClearAreas();
}

void TrimmingCommands::OnTrimmingSettings() {
    CVfwDoc* doc = &m_context.active.Video().Document();
    EditSession& session = Session();
    CConfigTrimming dialog(session.SizeType(), session.Direction(), doc->CodecOption(), Messages(),
                           DialogParent());
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    // A group left without a choice (a value no button stands for) keeps its value.
    session.SetOutput(dialog.m_nSizeType >= 0 ? dialog.m_nSizeType : session.SizeType(),
                      dialog.m_nDirection >= 0 ? dialog.m_nDirection : session.Direction());
    if (!IsVideoOpen()) {
        return;
    }
    CVfwView* view = m_host.VideoView();
    if (view != nullptr && session.GetViewMode() == kAreaMode) {
        view->RecomputeCursorBox();  // the box under the pointer turns too
    }
}

void TrimmingCommands::OnTrimmingArea() {
    Session().ToggleAreaMode();
    if (CVfwView* view = m_host.VideoView()) {
        view->ResetCursorBox();
        // The area keys are read where the picture is, not by a toolbar button or the trackbar.
        view->setFocus(Qt::OtherFocusReason);
    }
}

void TrimmingCommands::OnTrimmingPreview() {
    Session().TogglePreview();
    if (CVfwView* view = m_host.VideoView()) {
        view->setFocus(Qt::OtherFocusReason);
    }
}

void TrimmingCommands::OnMosaicType(int type) {
    Session().SetMosaicType(type);
    m_host.SyncMosaicBar();  // also when the bar was clicked on the shape in force
}

bool TrimmingCommands::HandleAreaKey(const QKeyEvent& key) {
    EditSession& session = Session();
    CVfwView* view = m_host.VideoView();
    if (session.GetViewMode() != kAreaMode || view == nullptr) {
        return false;
    }
    const bool shift = (key.modifiers() & Qt::ShiftModifier) != 0;
    switch (key.key()) {
        case Qt::Key_Escape:
            if (session.AreaIndex() == 1 && session.SetAreaIndex(0)) {
                view->SetBoxHalfSize(session.AreaBoxHalfSize(0));
            }
            return true;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            if (session.AreaIndex() == 0 && session.SetAreaIndex(1) &&
                session.GetTrimmingMode() == kFrontMode) {
                view->SetBoxHalfSize(session.AreaBoxHalfSize(1));
            }
            return true;  // never moves the keyboard focus while an area is being set
        case Qt::Key_Up:
            view->ResizeAreaBox(shift ? 1 : 3);
            return true;
        case Qt::Key_Down:
            view->ResizeAreaBox(shift ? -1 : -3);
            return true;
        default:
            return false;
    }
}

bool TrimmingCommands::FilterAreaKey(QEvent* event, bool* taken) {
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride) {
        return false;
    }
    const auto* key = static_cast<const QKeyEvent*>(event);
    const bool areaKey = key->key() == Qt::Key_Escape || key->key() == Qt::Key_Tab ||
                         key->key() == Qt::Key_Backtab || key->key() == Qt::Key_Up ||
                         key->key() == Qt::Key_Down;
    if (!areaKey || Session().GetViewMode() != kAreaMode) {
        return false;
    }
    if (event->type() == QEvent::ShortcutOverride) {
        event->accept();  // the key goes to us, not to a shortcut
        *taken = false;
        return true;
    }
    *taken = HandleAreaKey(*key);
    return true;
}

}  // namespace kivra
