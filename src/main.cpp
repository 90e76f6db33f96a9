#include "app/QuilloraApp.h"

int main(int argc, char** argv) {
    return QuilloraApp::run(argc, argv);
}
