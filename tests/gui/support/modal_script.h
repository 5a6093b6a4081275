#pragma once
// Plays the user's part in modal windows (file dialogs, message boxes, our own dialogs): a
// script of steps, each run on the window that is modal when its turn comes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>

namespace kivra::test {

// Plays the user's part in modal windows: each step runs on the window that is modal when its
// turn comes and says whether it is done. A step that finds no window of its kind for 15 s
// fails the test and closes the window in the way, so a wrong script cannot hang the run.
class ModalScript {
public:
    using Step = std::function<bool(QWidget*)>;
    explicit ModalScript(std::deque<Step> steps) : m_steps(std::move(steps)) {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr || m_steps.empty() || m_busy) {
                return;
            }
            // A step may open the next modal window, whose event loop runs this timer again.
            m_busy = true;
            Step step = std::move(m_steps.front());
            m_steps.pop_front();
            if (step(modal)) {
                m_waiting.restart();
            } else {
                m_steps.push_front(std::move(step));
                if (m_waiting.elapsed() > kPatienceMs) {
                    ADD_FAILURE() << "unexpected modal window " << modal->metaObject()->className()
                                  << " \"" << modal->windowTitle().toStdString() << "\"";
                    if (auto* dialog = qobject_cast<QDialog*>(modal)) {
                        dialog->reject();
                    } else {
                        modal->close();
                    }
                    m_waiting.restart();
                }
            }
            m_busy = false;
        });
        m_waiting.start();
        m_timer.start(10);
    }
    bool Done() const { return m_steps.empty(); }

private:
    static constexpr int kPatienceMs = 15000;
    QTimer m_timer;
    QElapsedTimer m_waiting;
    std::deque<Step> m_steps;
    bool m_busy = false;
};

// Types a name into the save dialog and presses Enter.
inline ModalScript::Step TypeName(const QString& name) {
    return [name](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (dialog == nullptr) {
            return false;
        }
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (edit == nullptr) {
            return false;
        }
        edit->setText(name);
        // Queued: a question the dialog asks runs its own event loop, where the next step acts.
        QMetaObject::invokeMethod(
            edit, [edit] { QTest::keyClick(edit, Qt::Key_Return); }, Qt::QueuedConnection);
        return true;
    };
}

inline ModalScript::Step Answer(QMessageBox::StandardButton button, QString* text = nullptr) {
    return [button, text](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (box == nullptr) {
            return false;
        }
        if (text != nullptr) {
            *text = box->text();
        }
        box->button(button)->click();
        return true;
    };
}

inline ModalScript::Step Cancel() {
    return [](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (dialog != nullptr) {
            dialog->reject();
        }
        return dialog != nullptr;
    };
}

}  // namespace kivra::test
