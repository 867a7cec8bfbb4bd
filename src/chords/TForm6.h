#pragma once

#include <QDialog>

namespace fw {

class TForm1;

// The "Select a Mode to Edit" window, shown modally from the main window and kept until exit.
class TForm6 : public QDialog {
    Q_OBJECT
public:
    explicit TForm6(TForm1* main, QWidget* parent = nullptr);

private:
    TForm1* main_;
};

} // namespace fw
