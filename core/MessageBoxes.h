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
};
