#pragma once
// The modal dialog "トリミングの設定": output size, orientation and the compressor of the trimmed
// movie. OK leaves the chosen size and orientation in m_nSizeType and m_nDirection for the
// command to apply; a compressor chosen with "詳細..." is applied to the document's compressor
// options at once. Built on the stack by the command.
#include <QDialog>

class ZebsCCodecOption;
class QButtonGroup;
class QPixmap;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kivra {
class UserMessages;
}

class CConfigTrimming : public QDialog {
    Q_OBJECT

public:
    // Opens on sizeType and direction; `codec` is the document's, which outlives the dialog.
    // Message 2014 goes to `messages`.
    CConfigTrimming(int sizeType, int direction, ZebsCCodecOption& codec,
                    kivra::UserMessages& messages, QWidget* parent = nullptr);

    void accept() override;

    // "詳細...": the compressor chooser, then the refusals and the trial encode.
    void OnCompressorDetail();

    // 0 "640×480", 1 "1024×768 ", 2 "1440×1080"; 0 "縦", 1 "横".
    QRadioButton* SizeButton(int index) const;
    QRadioButton* DirectionButton(int index) const;
    QLineEdit* CompressorEdit() const { return m_pCompressorEdit; }
    QPushButton* DetailButton() const { return m_pDetailButton; }

    // The checked buttons once OK was pressed; -1 for a group without a choice.
    int m_nSizeType = -1;
    int m_nDirection = -1;

private:
    // The members into the buttons, or (save) the checked buttons into the members.
    void DoDataExchange(bool save);

    ZebsCCodecOption& m_codec;
    kivra::UserMessages& m_messages;
    QButtonGroup* m_pSizeGroup = nullptr;  // children of this dialog
    QButtonGroup* m_pDirectionGroup = nullptr;
    QLineEdit* m_pCompressorEdit = nullptr;
    QPushButton* m_pDetailButton = nullptr;
};

namespace kivra {

// The two orientation pictures: an upright frame (portrait) and a lying one (landscape),
// each size x size.
QPixmap OrientationPicture(bool upright, int size);

}  // namespace kivra
