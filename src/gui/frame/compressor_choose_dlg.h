#pragma once
// The compressor chooser of the trimming settings: the installed compressors with the current
// one selected, quality, key-frame interval, data rate and the encoder options line. Built on
// the stack for one choice; OK writes into the caller's compressor variables.
#include <QDialog>
#include <string>

#include "output/codec_option.h"

class QLineEdit;
class QSpinBox;
class QTreeWidget;

class CCompressorChooseDlg : public QDialog {
    Q_OBJECT

public:
    CCompressorChooseDlg(kivra::CompressorVars& vars, QWidget* parent = nullptr);

    // Writes the selected compressor and the values into the variables, then closes.
    void accept() override;

    // Selects the row of a code text ("MJPG"); false when no installed compressor has it.
    bool SelectCode(const QString& codeText);
    QString SelectedCode() const;

    QTreeWidget* List() const { return m_pList; }
    QSpinBox* Quality() const { return m_pQuality; }
    QSpinBox* KeyFrames() const { return m_pKeyFrames; }
    QSpinBox* DataRate() const { return m_pDataRate; }
    QLineEdit* Options() const { return m_pOptions; }

private:
    void OnSelectionChanged();

    kivra::CompressorVars& m_vars;
    QTreeWidget* m_pList = nullptr;  // children of this dialog
    QSpinBox* m_pQuality = nullptr;
    QSpinBox* m_pKeyFrames = nullptr;
    QSpinBox* m_pDataRate = nullptr;
    QLineEdit* m_pOptions = nullptr;
    QString m_strStartCode;  // the compressor the variables named when the dialog opened
    QString m_strShownCode;  // the compressor the options line belongs to
};

namespace kivra {

// Lets the user edit vars in the chooser over owner. True when the user chose a compressor
// (vars hold the choice), false when cancelled (vars untouched).
bool ICCompressorChoose(QWidget* owner, CompressorVars& vars);

}  // namespace kivra
