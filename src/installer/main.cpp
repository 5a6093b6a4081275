// Pellam: installs the codecs Kivra recommends. Takes no arguments and reports no result.
#include "pellam_app.h"

int main(int argc, char** argv) {
    CPellamApp app(argc, argv);
    app.InitInstance();
    return 0;
}
