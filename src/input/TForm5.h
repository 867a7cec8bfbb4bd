#pragma once

#include <QDialog>

namespace fw {

class TForm1;

// The "Keyboard Play Mode Input" window, shown modally from the main window and kept until exit.
class TForm5 : public QDialog {
    Q_OBJECT
public:
    explicit TForm5(TForm1* main, QWidget* parent = nullptr);

private:
    TForm1* main_;
};

} // namespace fw
