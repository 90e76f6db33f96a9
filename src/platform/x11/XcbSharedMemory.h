#pragma once

// Repaints go over the socket rather than through shared memory (QT_XCB_NO_MITSHM=1), unless the user
// chose otherwise: "0", "false", "no" or "off" bring shared memory back, any other value is left to Qt.
// Call before the application object exists.
void sendImagesOverSocketUnlessChosen();
