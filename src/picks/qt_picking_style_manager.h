#pragma once

#include <QDialog>

namespace fw {

class TForm1;

// The "Picking Style Manager" window, shown modally from the main window and kept until exit.
class TForm3 : public QDialog {
    Q_OBJECT
public:
    explicit TForm3(TForm1* main, QWidget* parent = nullptr);

private:
    TForm1* main_;
};

} // namespace fw
