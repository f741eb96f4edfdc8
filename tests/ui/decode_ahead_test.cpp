// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding on the second thread, as the user notices it: a "Make HTML" run that decodes ahead
// asks, warns, shows and writes exactly what it does decoding each picture itself; the browser
// shows the focused picture and no other after fast cursor keys, shows a neighbour ready at once,
// and decodes a picture changed on disk again.

#include "core/generator.h"
#include "core/picture.h"
#include "ui/ask_dialog.h"
#include "ui/window_host.h"
#include "window_test_support.h"

#include <QCheckBox>
#include <QLabel>
#include <QResizeEvent>

#include <functional>
#include <optional>

using namespace qlm::ui;
using namespace qlm::ui::test;

namespace {

// A shown window listing the folder "bilder" with the given pictures ("name=test picture") and
// other files ("name=bytes").
struct Photos {
    WorkFolder work;
    QString folder = QDir::cleanPath(work.Path(QStringLiteral("bilder")));
    std::unique_ptr<TMain> window;
    QListWidget* list = nullptr;

    explicit Photos(const QStringList& entries) {
        FillFolder(folder, entries);
        window = work.OpenWindowAt(folder);
        list = Child<QListWidget>(*window, "MainList");
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(list));
        TFAskUser::ClearRecorded();
        MessageBoxes::ClearRecorded();
    }
    QString File(const QString& name) const { return folder + u'/' + name; }
    std::string Path(const QString& name) const { return QFile::encodeName(File(name)).toStdString(); }
    QLabel* Preview() const { return Child<QLabel>(*window, "Preview"); }
    void FocusOn(const QString& caption) const {
        list->setCurrentItem(ItemNamed(list, caption), QItemSelectionModel::NoUpdate);
    }
    // A test picture saved over `name` as a new file, the way programs save pictures.
    void SaveOver(const QString& name, const char* data_name) const {
        CopyPicture(data_name, File(QStringLiteral(".new")));
        QVERIFY(std::rename(QFile::encodeName(File(QStringLiteral(".new"))).constData(),
                            QFile::encodeName(File(name)).constData()) == 0);
    }
};

// Forwards a run's calls to the window's host and records each with what it gave back;
// `on_question` runs while a question is open, as a user may change files then.
class RecordingHost : public qlm::GenerationHost {
  public:
    RecordingHost(qlm::GenerationHost& window, std::string folder)
        : window_(window), folder_(std::move(folder)) {}
    QStringList calls;
    std::function<void(qlm::AskKind)> on_question;

    std::string AskUser(const std::string& initial_text, qlm::AskKind kind) override {
        if (on_question)
            on_question(kind);
        const std::string answer = window_.AskUser(initial_text, kind);
        calls << QStringLiteral("ask %1 [%2] -> %3")
                     .arg(static_cast<int>(kind))
                     .arg(QString::fromStdString(initial_text), QString::fromStdString(answer));
        return answer;
    }
    std::optional<qlm::PictureSize> MyLoadPic(const std::string& path) override {
        calls << "pic " + Bare(path);
        try {
            const std::optional<qlm::PictureSize> size = window_.MyLoadPic(path);
            calls.last() += Shown(size);
            return size;
        } catch (const qlm::DecodeError&) {
            calls.last() += " throws";
            throw;
        }
    }
    std::optional<qlm::PictureSize> LoadThumbnail(const std::string& path) override {
        calls << "thumb " + Bare(path);
        const std::optional<qlm::PictureSize> size = window_.LoadThumbnail(path);
        calls.last() += Shown(size);
        return size;
    }
    void ShowWarning(const std::string& text) override {
        calls << "warn " + QString::fromStdString(text);
        window_.ShowWarning(text);
    }
    void ShowDecodeFailure(const std::string& path, const std::string& message) override {
        calls << "failure " + Bare(path) + ": " + QString::fromStdString(message);
        window_.ShowDecodeFailure(path, message);
    }
    void SetProgressLabel(const std::string& text) override {
        calls << "label " + QString::fromStdString(text);
        window_.SetProgressLabel(text);
    }
    void SetProgressMaximum(int maximum) override {
        calls << QStringLiteral("max %1").arg(maximum);
        window_.SetProgressMaximum(maximum);
    }
    void SetProgressPosition(int position) override {
        calls << QStringLiteral("pos %1").arg(position);
        window_.SetProgressPosition(position);
    }
    void StepProgress() override {
        calls << "step";
        window_.StepProgress();
    }
    void SetWorkingDisplay(bool working) override {
        calls << (working ? "working" : "normal");
        window_.SetWorkingDisplay(working);
    }
    void ComingNext(const std::string& thumbnail_path, const std::string& picture_path) override {
        window_.ComingNext(thumbnail_path, picture_path);
    }

  private:
    static QString Shown(const std::optional<qlm::PictureSize>& size) {
        return size ? QStringLiteral(" %1x%2").arg(size->width).arg(size->height) : QStringLiteral(" none");
    }
    QString Bare(const std::string& path) const {
        return QString::fromStdString(path.substr(folder_.size()));
    }
    qlm::GenerationHost& window_;
    std::string folder_;
};

struct RunRecord {
    QStringList calls;
    QStringList boxes;
    QStringList questions;
    QMap<QString, QByteArray> files;
};

// "Make HTML" over every picture of a folder with questions, a missing thumbnail, a picture saved
// over while the run asks about the one before it, a picture deleted after the listing and a
// damaged picture before the last.
RunRecord RunInWindow(bool ahead) {
    Photos photos({"a.png=quadrants.png", "t_a.png=checker.png", "b.jpg=exif_orientation_6.jpg",
                   "c.jpg=quadrants.jpg", "t_c.jpg=cmyk_adobe.jpg", "gone.jpg=quadrants.jpg",
                   "kaputt.jpg=truncated_header.jpg", "t_kaputt.jpg=quadrants.jpg", "z.png=checker.png"});
    photos.window->MarkAllClick();
    QFile::remove(photos.File("gone.jpg"));
    auto& window_host = dynamic_cast<WindowHost&>(photos.window->Host());
    window_host.SetDecodeAhead(ahead);
    for (const char* answer : {"Titel", "Meer", "Bilder", "Bild a", "Bild b"})
        TFAskUser::SetNextAnswer(QString::fromUtf8(answer));
    for (int i = 0; i < 2; ++i)
        TFAskUser::SetNextAnswer(std::nullopt);

    qlm::GenerationInput input;
    input.folder = photos.window->CommandFolder();
    input.pictures = photos.window->SelectedPictures();
    input.selected_entries = static_cast<int>(input.pictures.size());
    input.flags = photos.window->Flags();
    input.templates = photos.window->Templates();
    input.version = photos.window->Version();
    RecordingHost host(window_host, input.folder);
    int alt_questions = 0;
    host.on_question = [&](qlm::AskKind kind) {
        // c.jpg is decoded ahead while b.jpg is asked about.
        if (kind == qlm::AskKind::Alt && ++alt_questions == 2)
            photos.SaveOver("c.jpg", "cmyk_adobe.jpg");
    };
    const qlm::GenerationResult result = qlm::MakeGallery(input, host);
    RunRecord record;
    record.calls = host.calls;
    if (!result.stopped)
        record.calls << "not stopped";
    for (const ShownBox& box : MessageBoxes::Recorded())
        record.boxes << box.title + ": " + box.text;
    for (const TFAskUser::Asked& asked : TFAskUser::Recorded())
        record.questions << asked.prompt + " [" + asked.initial_text + "]";
    for (const QString& name : QDir(photos.folder).entryList(QDir::Files))
        record.files[name] = ReadBytes(photos.File(name));
    return record;
}

// The preview's size for each test picture below; all differ, so a size tells the picture.
const QMap<QString, QSize> kShownSizes = {
    {"a.png", {64, 48}}, {"b.jpg", {48, 64}}, {"c.png", {256, 256}}, {"d.jpg", {16, 16}}};

// Notes every picture the preview takes that is not the one the focused entry names.
class ShownWatch : public QObject {
  public:
    ShownWatch(QLabel* preview, const QListWidget* list) : list_(list) { preview->installEventFilter(this); }
    QStringList wrong;
    int shown = 0;

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Resize) {
            ++shown;
            const QString focused =
                list_->currentItem() != nullptr ? list_->currentItem()->text() : QString();
            const QSize size = static_cast<QResizeEvent*>(event)->size();
            if (kShownSizes.value(focused) != size)
                wrong << QStringLiteral("%1x%2 while %3 had the focus")
                             .arg(size.width())
                             .arg(size.height())
                             .arg(focused);
        }
        return false;
    }

  private:
    const QListWidget* list_;
};

const QStringList kFourPictures = {"a.png=quadrants.png", "b.jpg=exif_orientation_6.jpg", "c.png=checker.png",
                                   "d.jpg=cmyk_adobe.jpg"};

} // namespace

class DecodeAheadTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() { SetUpApplication(); }

    void run_is_the_same_with_and_without_decoding_ahead();
    void browser_shows_only_the_focused_picture_after_fast_keys();
    void neighbour_is_shown_at_once_and_a_changed_file_again();
};

void DecodeAheadTest::run_is_the_same_with_and_without_decoding_ahead() {
    const RunRecord alone = RunInWindow(false);
    // The run asked for the three folder texts and four picture texts, and stopped at the damaged
    // picture, naming it in the box.
    QCOMPARE(alone.questions.size(), 7);
    QVERIFY(alone.calls.contains("pic c.jpg 16x16"));
    QVERIFY(alone.calls.contains("pic gone.jpg none"));
    QVERIFY(alone.calls.contains("pic kaputt.jpg throws"));
    QVERIFY(!alone.calls.contains("not stopped"));
    QVERIFY(!alone.boxes.isEmpty() && alone.boxes.last().startsWith("QLM 2: kaputt.jpg: "));
    QVERIFY(!alone.files.contains("index.html") && alone.files.contains("gone.html"));
    // The second thread's timing varies, so the run is repeated.
    for (int round = 0; round < 3; ++round) {
        const RunRecord ahead = RunInWindow(true);
        QCOMPARE(ahead.calls, alone.calls);
        QCOMPARE(ahead.boxes, alone.boxes);
        QCOMPARE(ahead.questions, alone.questions);
        QCOMPARE(ahead.files, alone.files);
    }
}

void DecodeAheadTest::browser_shows_only_the_focused_picture_after_fast_keys() {
    Photos photos(kFourPictures);
    photos.FocusOn("a.png");
    QTRY_VERIFY(!photos.window->PreviewPending());
    QCOMPARE(photos.Preview()->size(), kShownSizes["a.png"]);
    ShownWatch watch(photos.Preview(), photos.list);
    // Keys faster than pictures decode: down to the end, back up, down again, several times.
    for (int round = 0; round < 4; ++round) {
        for (Qt::Key key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Up, Qt::Key_Up, Qt::Key_Down})
            QTest::keyClick(photos.list, key);
        QCOMPARE(photos.list->currentItem()->text(), QStringLiteral("c.png"));
        QTRY_VERIFY(!photos.window->PreviewPending());
        QCOMPARE(photos.Preview()->size(), kShownSizes["c.png"]);
        photos.FocusOn("a.png");
        QTRY_VERIFY(!photos.window->PreviewPending());
    }
    QVERIFY2(watch.wrong.isEmpty(), qPrintable(watch.wrong.join(", ")));
    QVERIFY(watch.shown >= 8);
    QVERIFY(MessageBoxes::Recorded().isEmpty());
}

void DecodeAheadTest::neighbour_is_shown_at_once_and_a_changed_file_again() {
    Photos photos(kFourPictures);
    photos.FocusOn("a.png");
    QTRY_VERIFY(!photos.window->PreviewPending());
    QTRY_VERIFY(photos.window->PreviewReady(photos.Path("b.jpg")));
    QTest::keyClick(photos.list, Qt::Key_Down);
    // Ready beforehand, so shown within the key press.
    QVERIFY(!photos.window->PreviewPending());
    QCOMPARE(photos.Preview()->size(), kShownSizes["b.jpg"]);
    QTRY_VERIFY(photos.window->PreviewReady(photos.Path("c.png")));
    QTRY_VERIFY(photos.window->PreviewReady(photos.Path("a.png")));

    // c.png and a.png are saved over after they were decoded: each shows as it is now.
    photos.SaveOver("c.png", "quadrants.png");
    QTest::keyClick(photos.list, Qt::Key_Down);
    QTRY_VERIFY(!photos.window->PreviewPending());
    QCOMPARE(photos.Preview()->size(), QSize(64, 48));
    photos.SaveOver("a.png", "checker.png");
    photos.FocusOn("a.png");
    QTRY_VERIFY(!photos.window->PreviewPending());
    QCOMPARE(photos.Preview()->size(), QSize(256, 256));

    // A neighbour that became damaged shows the decoder's box when it gets the focus, not before.
    QTRY_VERIFY(photos.window->PreviewReady(photos.Path("b.jpg")));
    photos.SaveOver("b.jpg", "truncated_header.jpg");
    QVERIFY(MessageBoxes::Recorded().isEmpty());
    QTest::keyClick(photos.list, Qt::Key_Down);
    QTRY_COMPARE(MessageBoxes::Recorded().size(), 1);
    QCOMPARE(MessageBoxes::Recorded()[0].title, QStringLiteral("QLM 2"));
    // It names the picture, as the box of a run does.
    QVERIFY2(MessageBoxes::Recorded()[0].text.startsWith(QStringLiteral("b.jpg: ")),
             qPrintable(MessageBoxes::Recorded()[0].text));
    QCOMPARE(photos.Preview()->size(), QSize(256, 256));
}

QTEST_MAIN(DecodeAheadTest)
#include "decode_ahead_test.moc"
