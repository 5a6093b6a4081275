#include "ui/icon_toolbar.h"

#include <QAction>
#include <QRegularExpression>
#include <QToolButton>

#include "platform/string_ids.h"
#include "platform/string_table.h"
#include "ui/toolbar_icons.h"

namespace kivra {

namespace {

ZebsCOOIconToolBar* CreateToolBar(QWidget* parent, int titleId, const char* objectName,
                                  const std::vector<int>& commands, const ActionLookup& actionOf) {
    auto* bar = new ZebsCOOIconToolBar(QString::fromStdString(LoadString(titleId)),
                                       QString::fromLatin1(objectName), parent);
    bar->LoadToolBar(commands, actionOf);
    return bar;
}

}  // namespace

const std::vector<int>& MovieToolBarCommands() {
    static const std::vector<int> kCommands = {ID_MOVIE_FIRST, ID_MOVIE_BACK, ID_MOVIE_REVERSE_PLAY,
                                               ID_MOVIE_PLAY,  ID_MOVIE_NEXT, ID_MOVIE_LAST};
    return kCommands;
}

const std::vector<int>& TrimmingToolBarCommands() {
    static const std::vector<int> kCommands = {
        ID_FILE_OPEN,           kToolBarGap, ID_TRIMMING_SIDE_MODE,
        ID_TRIMMING_FRONT_MODE, kToolBarGap, ID_TRIMMING_AREA,
        ID_TRIMMING_PREVIEW,    kToolBarGap, ID_TRIMMING_SAVE_MOVIE};
    return kCommands;
}

const std::vector<int>& MarkerToolBarCommands() {
    static const std::vector<int> kCommands = {ID_MARKER_SET_ID, ID_MARKER_FOLLOW};
    return kCommands;
}

QString ShortToolTip(CommandId id, const QString& menuText) {
    const QString prompt = QString::fromStdString(LoadString(id));
    const QString shortText = prompt.section(QLatin1Char('\n'), -1);
    if (!shortText.isEmpty()) {
        return shortText;
    }
    static const QRegularExpression kAccelerator(QStringLiteral("\\s*\\(\\s*&[^)]\\s*\\)"));
    static const QRegularExpression kEllipsis(QStringLiteral("(\\.\\.\\.|…)\\s*$"));
    QString text = menuText.section(QLatin1Char('\t'), 0, 0);
    text.remove(kAccelerator);
    text.remove(kEllipsis);
    // A bare "&X" marks the key inside the word; "&&" is a literal ampersand.
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
    return text.trimmed();
}

ZebsCOOIconToolBar* CreateMovieToolBar(QWidget* parent, const ActionLookup& actionOf) {
    return CreateToolBar(parent, kIdsMovieToolBarTitle, "MovieToolBar", MovieToolBarCommands(),
                         actionOf);
}

ZebsCOOIconToolBar* CreateTrimmingToolBar(QWidget* parent, const ActionLookup& actionOf) {
    return CreateToolBar(parent, kIdsTrimmingToolBarTitle, "TrimmingToolBar",
                         TrimmingToolBarCommands(), actionOf);
}

ZebsCOOIconToolBar* CreateMarkerToolBar(QWidget* parent, const ActionLookup& actionOf) {
    return CreateToolBar(parent, kIdsMarkerToolBarTitle, "MarkerToolBar", MarkerToolBarCommands(),
                         actionOf);
}

}  // namespace kivra

ZebsCOOIconToolBar::ZebsCOOIconToolBar(const QString& title, const QString& objectName,
                                       QWidget* parent)
    : QToolBar(title, parent) {
    setObjectName(objectName);
    setAllowedAreas(Qt::TopToolBarArea);
    setIconSize(QSize(kivra::kLargeToolbarIcon, kivra::kLargeToolbarIcon));
    setToolButtonStyle(Qt::ToolButtonIconOnly);
}

bool ZebsCOOIconToolBar::LoadToolBar(const std::vector<int>& commands,
                                     const kivra::ActionLookup& actionOf) {
    bool all = true;
    for (const int command : commands) {
        if (command == kivra::kToolBarGap) {
            m_items.emplace_back(kivra::kToolBarGap, addSeparator());
            continue;
        }
        const auto id = static_cast<kivra::CommandId>(command);
        QAction* action = actionOf ? actionOf(id) : nullptr;
        if (action == nullptr) {
            all = false;
            continue;
        }
        if (command == kivra::ID_MOVIE_PLAY) {
            // Only the bar that carries the play button makes its two pictures.
            m_playIcon = kivra::MakeToolbarIcon(kivra::ToolbarPicture::Play);
            m_playingIcon = kivra::MakeToolbarIcon(kivra::ToolbarPicture::Playing);
            action->setIcon(m_playIcon);
        } else if (const auto picture = kivra::PictureForCommand(command)) {
            action->setIcon(kivra::MakeToolbarIcon(*picture));
        }
        action->setIconVisibleInMenu(false);  // the menus stay text only
        action->setToolTip(kivra::ShortToolTip(id, action->text()));
        addAction(action);
        m_items.emplace_back(command, action);
        if (QToolButton* button = Button(id)) {
            button->setFixedSize(kivra::kToolButtonWidth, kivra::kToolButtonHeight);
        }
        // The button resyncs itself from the action before `changed` is emitted, so the
        // pressed look is laid on top afterwards.
        connect(action, &QAction::changed, this, [this, id] { ApplyPressed(id); });
        ApplyPressed(id);
    }
    return all;
}

void ZebsCOOIconToolBar::SetPressed(kivra::CommandId id, bool pressed) {
    m_pressed[id] = pressed;
    ApplyPressed(id);
}

bool ZebsCOOIconToolBar::IsPressed(kivra::CommandId id) const {
    const QToolButton* button = Button(id);
    return button != nullptr && button->isCheckable() && button->isChecked();
}

void ZebsCOOIconToolBar::SetPlayButtonPlaying(bool playing) {
    if (QAction* action = CommandAction(kivra::ID_MOVIE_PLAY)) {
        const QIcon& wanted = playing ? m_playingIcon : m_playIcon;
        if (action->icon().cacheKey() != wanted.cacheKey()) {
            action->setIcon(wanted);
        }
    }
}

std::vector<int> ZebsCOOIconToolBar::Layout() const {
    std::vector<int> layout;
    for (QAction* action : actions()) {
        for (const auto& [id, item] : m_items) {
            if (item == action) {
                layout.push_back(id);
                break;
            }
        }
    }
    return layout;
}

QToolButton* ZebsCOOIconToolBar::Button(kivra::CommandId id) const {
    QAction* action = CommandAction(id);
    return action != nullptr ? qobject_cast<QToolButton*>(widgetForAction(action)) : nullptr;
}

QAction* ZebsCOOIconToolBar::CommandAction(kivra::CommandId id) const {
    for (const auto& [command, action] : m_items) {
        if (command == id) {
            return action;
        }
    }
    return nullptr;
}

void ZebsCOOIconToolBar::ApplyPressed(kivra::CommandId id) {
    QAction* action = CommandAction(id);
    QToolButton* button = Button(id);
    if (action == nullptr || button == nullptr) {
        return;
    }
    const auto wish = m_pressed.find(id);
    if (wish == m_pressed.end()) {
        return;  // the button mirrors its action's check by itself
    }
    // The action stays uncheckable, so the button's check never reaches it or the menu.
    button->setCheckable(true);
    if (button->isChecked() != wish->second) {
        button->setChecked(wish->second);
    }
}
