#ifndef CLOSEQUESTION_H
#define CLOSEQUESTION_H

#include <QCoreApplication>

class QString;
class QWidget;

// The question put when the window is closed while a measurement goes on: stop it and keep what
// it measured (the default), stop it and drop the readings in flight, or keep the window open.
class CloseQuestion
{
    Q_DECLARE_TR_FUNCTIONS(CloseQuestion)

public:
    enum Answer
    {
        StopAndKeep,
        Discard,
        Cancel
    };

    // Asks in a window-modal box over parent; text says what is running.
    static Answer ask(QWidget *parent, const QString &text);
};

#endif // CLOSEQUESTION_H
