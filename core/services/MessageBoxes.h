#pragma once

#include <QString>

// Shows the program's message boxes: caption "TimoraDesk", the text, OK only, no icon.
class MessageBoxes
{
public:
    enum class Modality {
        Application, // modal to the program
        System,      // stays on top of every window and is raised and activated
    };

    virtual ~MessageBoxes() = default;
    // Returns once the box is closed.
    virtual void show(const QString &text, Modality modality = Modality::Application) = 0;
    // Puts the box up and returns at once; the box goes away when OK is pressed, or with the
    // program. For a handler that must go on while the box is open (the countdown).
    virtual void showWithoutWaiting(const QString &text,
                                    Modality modality = Modality::Application) = 0;
};
