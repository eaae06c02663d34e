// The certificate request page of a key: where the key pair goes (a new container or a free place of an
// existing one), its kind and algorithm, the subject fields, alternative names and usage, and the two ways
// out: a request saved to a file, or a self-signed certificate stored beside the pair.
#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;

namespace ui {

class EnrolmentPage : public QWidget {
    Q_OBJECT
public:
    explicit EnrolmentPage(QWidget* parent);

    // Sets every caption from the string table.
    void applyTexts();
    // Shows the busy indicator and the note, and holds the input, while the key works.
    void showWorking(bool working);

    QComboBox* cbEnrolPlace;      // new container, then the free places and the pairs without certificate
    QLineEdit* edtEnrolContainer; // the name of a new container
    QComboBox* cbEnrolSpec;       // exchange, signature
    QComboBox* cbEnrolAlgorithm;  // the kinds the key makes, or "the key pair there"
    QComboBox* cbEnrolUsage;      // the usage templates
    QSpinBox* seEnrolDays;
    QLineEdit* edtEnrolCN;
    QLineEdit* edtEnrolO;
    QLineEdit* edtEnrolOU;
    QLineEdit* edtEnrolL;
    QLineEdit* edtEnrolST;
    QLineEdit* edtEnrolC;
    QLineEdit* edtEnrolEmail;
    QLineEdit* edtEnrolAltNames;
    QLabel* lblEnrolWorking;
    QProgressBar* pbEnrol;
    QPushButton* btnEnrolRequest;
    QPushButton* btnEnrolSelfSigned;

private:
    QLabel* label(const char* name, int left, int top);
    QLineEdit* field(const char* name, int left, int top);
    QComboBox* choice(const char* name, int left, int top);
    void buildPlaceColumn();
    void buildSubjectColumn();
    void buildFooter();
};

} // namespace ui
