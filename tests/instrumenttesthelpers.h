#ifndef INSTRUMENTTESTHELPERS_H
#define INSTRUMENTTESTHELPERS_H

#include <QAbstractButton>
#include <QMessageBox>

#include <memory>

#include "testhelpers.h"

namespace instrumenttest {

// What a test saw of one message box.
struct SeenBox
{
    QString title;
    QString text;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    int buttonCount;
};

// Answers every message box that opens while it lives: records it and presses its OK button
// (or closes it, should it have none, so that a faulty box cannot hang the test).
class BoxAnswerer
{
public:
    BoxAnswerer() : state(std::make_shared<State>())
    {
        std::shared_ptr<State> shared = state;
        testhelpers::answerModal(
            [shared](QWidget *modal) {
                if (!shared->active)
                    return true;
                auto *box = qobject_cast<QMessageBox *>(modal);
                if (!box || !box->isVisible())
                    return false;
                shared->boxes.append({box->windowTitle(), box->text(), box->icon(),
                                      box->standardButtons(), box->buttons().size()});
                if (QAbstractButton *ok = box->button(QMessageBox::Ok))
                    ok->click();
                else
                    box->done(0);
                return false;
            },
            600000);
    }
    ~BoxAnswerer() { state->active = false; }
    BoxAnswerer(const BoxAnswerer &) = delete;
    BoxAnswerer &operator=(const BoxAnswerer &) = delete;

    QList<SeenBox> boxes() const { return state->boxes; }

private:
    struct State
    {
        bool active = true;
        QList<SeenBox> boxes;
    };
    std::shared_ptr<State> state;
};

} // namespace instrumenttest

#endif // INSTRUMENTTESTHELPERS_H
