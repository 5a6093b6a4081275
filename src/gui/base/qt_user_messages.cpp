#include "base/qt_user_messages.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>

namespace kivra {

namespace {

QMessageBox::Icon ToQtIcon(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Information:
            return QMessageBox::Information;
        case MsgIcon::Question:
            return QMessageBox::Question;
        case MsgIcon::Warning:
            return QMessageBox::Warning;
        case MsgIcon::Error:
            return QMessageBox::Critical;
        case MsgIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

MsgAnswer QtUserMessages::ShowMessage(const std::string& text, MsgButtons buttons, MsgIcon icon) {
    QMessageBox box(ToQtIcon(icon), QStringLiteral("Kivra"), QString::fromStdString(text),
                    QMessageBox::NoButton, m_pParent);
    box.setTextFormat(Qt::PlainText);  // file names may contain '<' and '&'
    switch (buttons) {
        case MsgButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            break;
        case MsgButtons::YesNo:
        case MsgButtons::YesNoDefaultNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setEscapeButton(QMessageBox::No);
            if (buttons == MsgButtons::YesNoDefaultNo) {
                box.setDefaultButton(QMessageBox::No);
            }
            break;
        case MsgButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
    }
    const int chosen = box.exec();
    switch (chosen) {
        case QMessageBox::Yes:
            return MsgAnswer::Yes;
        case QMessageBox::No:
            return MsgAnswer::No;
        case QMessageBox::Ok:
            return MsgAnswer::Ok;
        default:
            break;
    }
    switch (buttons) {
        case MsgButtons::Ok:
            return MsgAnswer::Ok;
        case MsgButtons::YesNo:
        case MsgButtons::YesNoDefaultNo:
            return MsgAnswer::No;
        case MsgButtons::YesNoCancel:
            break;
    }
    return MsgAnswer::Cancel;
}

QString QtFileDialogFilter(const std::string& filterText) {
    const QStringList pieces = QString::fromStdString(filterText).split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < pieces.size(); i += 2) {
        const QString description = pieces[i].trimmed();
        QStringList patterns = pieces[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& p : patterns) {
            p = p.trimmed();
        }
        patterns.removeAll(QString());
        if (description.isEmpty() && patterns.isEmpty()) {
            continue;
        }
        const QString shown = QStringLiteral("(%1)").arg(patterns.join(QLatin1Char(' ')));
        // A description that already ends with its patterns ("MP4 file(*.mp4)") shows them once.
        entries << (description.endsWith(shown) ? description
                                                : QStringLiteral("%1 %2").arg(description, shown));
    }
    return entries.join(QStringLiteral(";;"));
}

QString AskSaveFileName(QWidget* parent, const std::string& filterText,
                        const QString& defaultSuffix) {
    return AskSaveFileName(parent, filterText, defaultSuffix, nullptr);
}

QString AskSaveFileName(QWidget* parent, const std::string& filterText,
                        const QString& defaultSuffix, int* filterIndex,
                        const QString& proposedPath) {
    QFileDialog dialog(parent, QString(), QString(), QtFileDialogFilter(filterText));
    dialog.setObjectName(QStringLiteral("SaveFileDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    // Qt's own dialog adds the suffix before it checks for an existing file; a desktop's
    // dialog may check the name as typed and let "name.csv" be replaced unasked.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (filterIndex != nullptr) {
        const QStringList filters = dialog.nameFilters();
        const auto suffixFor = [&defaultSuffix](const QString& filter) {
            // "MP4 file(*.mp4)": one plain extension of its own, else the default.
            const QString patterns = filter.section(QLatin1Char('('), -1).chopped(1);
            const QStringList list = patterns.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            if (list.size() == 1 && list[0].startsWith(QStringLiteral("*.")) &&
                !list[0].mid(2).contains(QLatin1Char('*')) &&
                !list[0].mid(2).contains(QLatin1Char('?')) && list[0].size() > 2) {
                return list[0].mid(2);
            }
            return defaultSuffix;
        };
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&dialog, suffixFor](const QString& filter) {
                             dialog.setDefaultSuffix(suffixFor(filter));
                         });
        if (*filterIndex >= 1 && *filterIndex <= filters.size()) {
            dialog.selectNameFilter(filters[*filterIndex - 1]);
        }
        dialog.setDefaultSuffix(suffixFor(dialog.selectedNameFilter()));
    }
    if (!proposedPath.isEmpty()) {
        dialog.selectFile(proposedPath);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    if (filterIndex != nullptr) {
        *filterIndex =
            static_cast<int>(dialog.nameFilters().indexOf(dialog.selectedNameFilter())) + 1;
        if (*filterIndex < 1) {
            *filterIndex = 1;
        }
    }
    return dialog.selectedFiles().constFirst();
}

}  // namespace kivra
