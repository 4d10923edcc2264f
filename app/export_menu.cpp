#include "app/export_menu.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenu>
#include <QStatusBar>

#include "app/mouth_bands_dlg.h"
#include "app/rig_export_dlg.h"
#include "app/shape_names_dlg.h"
#include "document/key_export_command.h"
#include "document/rig_settings.h"
#include "document/vokra_doc.h"
#include "platform/message_service.h"

namespace vokra {
namespace {

struct FormatItem {
    KeyFormat format;
    const char* text;
    const char* prompt;
};

const FormatItem kItems[] = {
    {KeyFormat::Csv, "&CSV (frame, time, opening) ...",
     "Write the keys as comma-separated values: frame, time and opening"},
    {KeyFormat::Json, "&JSON ...", "Write the frame rate, the sound and the keys as JSON"},
    {KeyFormat::Ae, "&After Effects Keyframes ...",
     "Write the keys as After Effects keyframe data for a slider"},
    {KeyFormat::Dat, "&Mouth Shapes (switch data) ...",
     "Write a mouth shape for every frame as switch data (.dat)"},
    {KeyFormat::RhubarbTsv, "Mouth Cues, Rhubarb &TSV ...",
     "Write the mouth shapes as timed cues: a line per change of mouth (.tsv)"},
    {KeyFormat::RhubarbJson, "Mouth Cues, Rhubarb J&SON ...",
     "Write the mouth shapes as timed cues in JSON, with the sound and its length"},
    {KeyFormat::RhubarbXml, "Mouth Cues, Rhubarb &XML ...",
     "Write the mouth shapes as timed cues in XML, with the sound and its length"},
};

}  // namespace

ExportMenu::ExportMenu(CVokraDoc* doc, QMainWindow* window)
    : QObject(window), doc_(doc), window_(window) {
    askMouths = [this](const MouthBands& bands) { return RunMouthBandsDlg(bands, window_); };
    askShapeNames = [this](const MouthShapeNames& names) {
        return RunShapeNamesDlg(names, window_);
    };
    askRig = [this](RigFormat format, const RigExportOptions& options) {
        return RunRigExportDlg(format, options, window_);
    };
}

QMenu* ExportMenu::CreateMenu(QWidget* parent) {
    auto* menu = new QMenu(QStringLiteral("Export &Keys"), parent);
    menu->menuAction()->setStatusTip(QStringLiteral("Write the keys for other animation tools"));
    for (const FormatItem& item : kItems) {
        // The cues carry the shapes, not the keys: a group of their own.
        if (item.format == KeyFormat::RhubarbTsv) menu->addSeparator();
        QAction* action = menu->addAction(QString::fromLatin1(item.text));
        action->setStatusTip(QString::fromLatin1(item.prompt));
        const KeyFormat format = item.format;
        connect(action, &QAction::triggered, this, [this, format] { Export(format); });
        formats_[static_cast<int>(format)] = action;
    }
    // The engines and rigs, from their one table: a group of their own.
    menu->addSeparator();
    for (int i = 0; i < kRigFormatCount; ++i) {
        const RigFormatEntry& entry = RigFormatInfo(static_cast<RigFormat>(i));
        QAction* action = menu->addAction(QString::fromLatin1(entry.menuText));
        action->setStatusTip(QString::fromLatin1(entry.prompt));
        const KeyFormat format = KeyFormatOf(entry.format);
        connect(action, &QAction::triggered, this, [this, format] { Export(format); });
        formats_[static_cast<int>(format)] = action;
    }
    return menu;
}

QAction* ExportMenu::CreateCopyAction(QObject* parent) {
    copy_ = new QAction(QStringLiteral("Copy as After &Effects Keyframes"), parent);
    copy_->setStatusTip(
        QStringLiteral("Copy the keys as After Effects keyframe data, to paste on a slider"));
    connect(copy_, &QAction::triggered, this, &ExportMenu::CopyAfterEffects);
    // Nothing to copy without keys: the item says so before it is chosen.
    if (auto* menu = qobject_cast<QMenu*>(parent)) {
        connect(menu, &QMenu::aboutToShow, this, &ExportMenu::UpdateCopyAction);
    }
    UpdateCopyAction();
    return copy_;
}

void ExportMenu::UpdateCopyAction() {
    if (copy_) copy_->setEnabled(doc_ && doc_->GetKeys().GetCount() > 0);
}

QAction* ExportMenu::ExportAction(KeyFormat format) const {
    return formats_[static_cast<int>(format)];
}

void ExportMenu::Export(KeyFormat format) {
    if (!doc_ || (commitPending && !commitPending())) return;
    const bool hasShapes = !doc_->GetShapes().IsEmpty();
    if (IsShapeCueFormat(format) && !hasShapes) {
        AfxMessageBox(NoShapesToExportMessage() +
                          "\n\nGuess them with Shapes > Guess Shapes, or set them in the shape "
                          "lane.",
                      MsgButtons::Ok, MsgIcon::Exclamation);
        return;
    }
    MouthBands mouths = LoadMouthBands();
    if (const auto rig = RigFormatOf(format)) {
        const RigExportOptions kept = LoadRigOptions(*rig);
        const auto chosen = askRig ? askRig(*rig, kept) : std::optional<RigExportOptions>(kept);
        if (!chosen) return;
        SaveRigOptions(*rig, *chosen);
        const std::string problem =
            RigExportProblem(*rig, RigMouthsOf(ExportInfoOf(*doc_, mouths)));
        if (!problem.empty()) {
            AfxMessageBox("Cannot export: " + problem + ".", MsgButtons::Ok, MsgIcon::Exclamation);
            return;
        }
    } else if (format == KeyFormat::Dat && hasShapes) {
        // The shapes are written, under their names: those are what the dialog offers.
        const MouthShapeNames names = LoadMouthShapeNames();
        const auto chosen =
            askShapeNames ? askShapeNames(names) : std::optional<MouthShapeNames>(names);
        if (!chosen) return;
        SaveMouthShapeNames(*chosen);
    } else if (format == KeyFormat::Dat) {
        const auto chosen = askMouths ? askMouths(mouths) : std::optional<MouthBands>(mouths);
        if (!chosen) return;
        mouths = *chosen;
        SaveMouthBands(mouths);
    }
    OnExportKeys(*doc_, format, mouths);
}

void ExportMenu::CopyAfterEffects() {
    if (!doc_ || doc_->GetKeys().GetCount() == 0 || (commitPending && !commitPending())) return;
    const std::string text = KeysAsText(*doc_, KeyFormat::Ae, MouthBands());
    QGuiApplication::clipboard()->setText(QString::fromStdString(text));
    if (window_ && window_->statusBar()) {
        const int count = doc_->GetKeys().GetCount();
        window_->statusBar()->showMessage(
            QStringLiteral("Copied %1 key%2 as After Effects keyframe data")
                .arg(count)
                .arg(count == 1 ? QString() : QStringLiteral("s")),
            4000);
    }
}

}  // namespace vokra
