// What the main frame shows about the state of things: the window title with the document's name
// and modified mark, the status bar's prompts and its CAP, NUM and SCRL indicators.
#include <QtGui/qguiapplication_platform.h>
#include <dlfcn.h>

#include <QLabel>
#include <QStatusBar>

#include "app/main_frame.h"
#include "document/vokra_doc.h"

namespace vokra {

LockStates ReadLockStates() {
    LockStates states;
#if QT_CONFIG(xcb)
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display) return states;
    // Xlib is already loaded by Qt's X11 platform plugin; looking it up at run time keeps the
    // program free of a link-time dependency on it.
    static void* xlib = dlopen("libX11.so.6", RTLD_LAZY);
    if (!xlib) return states;
    using InternAtom = unsigned long (*)(Display*, const char*, int);
    using GetNamedIndicator = int (*)(Display*, unsigned long, int*, int*, void*, int*);
    static auto internAtom = reinterpret_cast<InternAtom>(dlsym(xlib, "XInternAtom"));
    static auto getNamed = reinterpret_cast<GetNamedIndicator>(dlsym(xlib, "XkbGetNamedIndicator"));
    if (!internAtom || !getNamed) return states;
    auto lit = [&](const char* name) {
        int on = 0;
        const unsigned long atom = internAtom(display, name, 0);
        return atom != 0 && getNamed(display, atom, nullptr, &on, nullptr, nullptr) && on;
    };
    states.caps = lit("Caps Lock");
    states.num = lit("Num Lock");
    states.scroll = lit("Scroll Lock");
#endif
    return states;
}

bool CMainFrame::CreateStatusBar() {
    statusBar = new QStatusBar(this);
    statusBar->setObjectName(QStringLiteral("statusBar"));
    // The idle text sits under the message: a prompt hides it, an empty prompt shows it again.
    idleLabel_ = new QLabel(QStringLiteral("Ready"), statusBar);
    statusBar->addWidget(idleLabel_, 1);
    const char* names[] = {"CAP", "NUM", "SCRL"};
    for (int i = 0; i < 3; ++i) {
        auto* label = new QLabel(QString::fromLatin1(names[i]), statusBar);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setAlignment(Qt::AlignCenter);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 12);
        statusBar->addPermanentWidget(label);
        indicators_[i] = label;
    }
    setStatusBar(statusBar);
    UpdateIndicators();
    return true;
}

void CMainFrame::UpdateTitle() {
    const QString title =
        doc_ ? QString::fromStdString(doc_->GetTitle()) : QStringLiteral("Untitled");
    // Qt shows "*" after the name in place of [*] while the document is modified.
    setWindowTitle(title + QStringLiteral("[*] - Vokra"));
    setWindowModified(doc_ && doc_->IsModified());
}

void CMainFrame::UpdateIndicators() {
    const LockStates states = ReadLockStates();
    const bool on[3] = {states.caps, states.num, states.scroll};
    // As the old status bar did: the text is grey while the lock is off.
    for (int i = 0; i < 3; ++i) {
        if (indicators_[i]) indicators_[i]->setEnabled(on[i]);
    }
}

void CMainFrame::ShowStatus(const std::string& text) {
    if (statusBar) statusBar->showMessage(QString::fromStdString(text), 15000);
}

}  // namespace vokra
