// The eighteen 16 x 16 node icons of the trees, painted in code. The enumerators name what each index shows;
// the trees refer to the icons by these indices.
#pragma once

#include <QList>
#include <QPixmap>

namespace ui {

enum FilesystemIcon : int {
    IconUsbKey = 0,      // a key node
    IconFolder = 1,      // a container or certificate node, closed
    IconFolderOpen = 2,  // the same node, open
    IconCertificate = 3, // certificates, a certificate's subject
    IconKey = 4,         // user PIN, public key
    IconLockedKey = 5,   // SO PIN, private key
    IconDocument = 6,    // a plain file
    IconAbout = 7,       // the about node
    IconDisc = 8,        // ISO image
    IconKeyList = 9,     // the key list root
    IconComputer = 10,   // system check
    IconRename = 11,     // key name
    IconAdministrator = 12,
    IconInitialise = 13,
    IconUnlock = 14,
    IconPadlock = 15,
    IconSuccess = 16,
    IconFailure = 17,
    FilesystemIconCount = 18
};

// The icons in index order.
QList<QPixmap> paintFilesystemIcons();

} // namespace ui
