#pragma once
// The modeless window "インストール済みコーデック一覧": one row per installed compressor with its
// code, names, driver library and version. Created hidden and owned by the main frame.
#include <QDialog>

class QPushButton;
class QTableWidget;

class CCodecListDialog : public QDialog {
    Q_OBJECT

public:
    enum Column { kCode = 0, kName, kDescription, kDriver, kVersion, kColumnCount };

    // Builds the list and fills it once; starts hidden.
    explicit CCodecListDialog(QWidget* parent = nullptr);
    ~CCodecListDialog() override;

    // Clears the list and fills it anew from the installed compressors.
    void Refresh();
    // Shows the window when hidden, hides it when shown.
    void Toggle();

    QTableWidget* List() const { return m_pList; }
    QPushButton* RefreshButton() const { return m_pRefreshButton; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Column widths as shares of the list's client width, set once the list has a size.
    void SizeColumns();

    QTableWidget* m_pList = nullptr;  // child widgets
    QPushButton* m_pRefreshButton = nullptr;
    bool m_bColumnsSized = false;
};
