// The resource ids of cfres.dll, the library whose resources the user32 checks load.
#ifndef TESTS_CONFORMANCE_RESOURCES_CFRES_IDS_H
#define TESTS_CONFORMANCE_RESOURCES_CFRES_IDS_H

#define CFR_BITMAP 100  // 12 x 5 pixels
#define CFR_DIALOG 200  // caption "Conformance", a control of each kind below
#define CFR_STATIC 210  // "Static text"
#define CFR_EDIT 211    // empty
#define CFR_RADIO1 212  // a group of three automatic radio buttons
#define CFR_RADIO2 213
#define CFR_RADIO3 214
#define CFR_CHECK 215    // an automatic check box
#define CFR_MISSING 299  // no resource and no control has this id

#endif
