#pragma once
// The modal about box "バージョン情報": logo, product name, the version read from an
// executable's version block, and the two link controls. Lives for one showing.
#include <QDialog>
#include <string>

class CStaticLogo;
class CStaticURL;
class QLabel;

class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    // `executablePath` is the file whose version is shown; empty means the running program.
    explicit CAboutDlg(QWidget* parent = nullptr, const std::string& executablePath = {});

    // The link targets start empty (the links then look disabled); a build that has web
    // pages sets them here.
    void SetLinkTargets(const QString& productPage, const QString& latestVersionPage);

    QString VersionLine() const;
    CStaticURL* ProductLink() const { return m_productLink; }
    CStaticURL* LatestLink() const { return m_latestLink; }
    CStaticLogo* Logo() const { return m_logo; }

private:
    CStaticLogo* m_logo = nullptr;
    QLabel* m_versionLine = nullptr;
    CStaticURL* m_productLink = nullptr;
    CStaticURL* m_latestLink = nullptr;
};
