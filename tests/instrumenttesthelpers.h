#ifndef INSTRUMENTTESTHELPERS_H
#define INSTRUMENTTESTHELPERS_H

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

namespace instrumenttest {

// What a test saw of one message box.
struct SeenBox
{
    QString title;
    QString text;
    QString informativeText;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    int buttonCount;
};

// Answers every message box that opens while it lives: records it and presses its OK button
// (or closes it, should it have none, so that a faulty box cannot hang the test). It polls
// the active modal widget every 20 ms like testhelpers::answerModal, but keeps answering
// until it is destroyed, so a second, unexpected box is seen and counted too.
class BoxAnswerer
{
public:
    BoxAnswerer()
    {
        timer.setInterval(20);
        QObject::connect(&timer, &QTimer::timeout, [this] { answer(); });
        timer.start();
    }
    BoxAnswerer(const BoxAnswerer &) = delete;
    BoxAnswerer &operator=(const BoxAnswerer &) = delete;

    QList<SeenBox> boxes() const { return seen; }

private:
    void answer()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        seen.append({box->windowTitle(), box->text(), box->informativeText(), box->icon(),
                     box->standardButtons(), static_cast<int>(box->buttons().size())});
        if (QAbstractButton *ok = box->button(QMessageBox::Ok))
            ok->click();
        else
            box->done(0);
    }

    QTimer timer;
    QList<SeenBox> seen;
};

// Presses a marker button (Get Marker Pos, Search Peak) and waits until its operation has ended:
// it runs beside the window, which frees the button again at its end.
inline bool pressAndWait(QAbstractButton *button)
{
    button->click();
    return QTest::qWaitFor([button] { return button->isEnabled(); }, 10000);
}

} // namespace instrumenttest

#endif // INSTRUMENTTESTHELPERS_H
