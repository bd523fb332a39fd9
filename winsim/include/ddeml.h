/*
 * The Dynamic Data Exchange Management Library: the client side that the setup uses to talk to
 * Program Manager, with the Windows SDK's names, values and signatures.
 */
#ifndef WINSIM_DDEML_H
#define WINSIM_DDEML_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifndef WINSIM_SECURITY_QOS_DEFINED
#define WINSIM_SECURITY_QOS_DEFINED
typedef BYTE BOOLEAN;
typedef enum _SECURITY_IMPERSONATION_LEVEL {
  SecurityAnonymous,
  SecurityIdentification,
  SecurityImpersonation,
  SecurityDelegation
} SECURITY_IMPERSONATION_LEVEL;
typedef BOOLEAN SECURITY_CONTEXT_TRACKING_MODE;
typedef struct _SECURITY_QUALITY_OF_SERVICE {
  DWORD Length;
  SECURITY_IMPERSONATION_LEVEL ImpersonationLevel;
  SECURITY_CONTEXT_TRACKING_MODE ContextTrackingMode;
  BOOLEAN EffectiveOnly;
} SECURITY_QUALITY_OF_SERVICE, *PSECURITY_QUALITY_OF_SERVICE;
#endif

DECLARE_HANDLE(HCONVLIST);
DECLARE_HANDLE(HCONV);
DECLARE_HANDLE(HSZ);
DECLARE_HANDLE(HDDEDATA);

typedef struct tagCONVCONTEXT {
  UINT cb;
  UINT wFlags;
  UINT wCountryID;
  int iCodePage;
  DWORD dwLangID;
  DWORD dwSecurity;
  SECURITY_QUALITY_OF_SERVICE qos;
} CONVCONTEXT, *PCONVCONTEXT;

typedef HDDEDATA CALLBACK FNCALLBACK(UINT wType, UINT wFmt, HCONV hConv, HSZ hsz1, HSZ hsz2,
                                     HDDEDATA hData, ULONG_PTR dwData1, ULONG_PTR dwData2);
typedef HDDEDATA(CALLBACK *PFNCALLBACK)(UINT wType, UINT wFmt, HCONV hConv, HSZ hsz1, HSZ hsz2,
                                        HDDEDATA hData, ULONG_PTR dwData1, ULONG_PTR dwData2);

#ifndef CF_TEXT
#define CF_TEXT 1 /* the clipboard format of an execute string */
#endif

#define CP_WINANSI 1004
#define CP_WINUNICODE 1200

#define APPCLASS_STANDARD 0x00000000L
#define APPCMD_CLIENTONLY 0x00000010L
#define APPCMD_FILTERINITS 0x00000020L
#define CBF_FAIL_ALLSVRXACTIONS 0x0003f000
#define CBF_SKIP_ALLNOTIFICATIONS 0x003c0000

#define XCLASS_BOOL 0x1000
#define XCLASS_DATA 0x2000
#define XCLASS_FLAGS 0x4000
#define XCLASS_NOTIFICATION 0x8000
#define XTYPF_NOBLOCK 0x0002
#define XTYP_EXECUTE (0x0050 | XCLASS_FLAGS)
#define XTYP_POKE (0x0090 | XCLASS_FLAGS)
#define XTYP_REQUEST (0x00B0 | XCLASS_DATA)

#define TIMEOUT_ASYNC 0xFFFFFFFF
#define DDE_FACK 0x8000
#define DDE_FBUSY 0x4000
#define DDE_FNOTPROCESSED 0x0000

#define DMLERR_NO_ERROR 0
#define DMLERR_FIRST 0x4000
#define DMLERR_ADVACKTIMEOUT 0x4000
#define DMLERR_BUSY 0x4001
#define DMLERR_DATAACKTIMEOUT 0x4002
#define DMLERR_DLL_NOT_INITIALIZED 0x4003
#define DMLERR_DLL_USAGE 0x4004
#define DMLERR_EXECACKTIMEOUT 0x4005
#define DMLERR_INVALIDPARAMETER 0x4006
#define DMLERR_LOW_MEMORY 0x4007
#define DMLERR_MEMORY_ERROR 0x4008
#define DMLERR_NOTPROCESSED 0x4009
#define DMLERR_NO_CONV_ESTABLISHED 0x400a
#define DMLERR_POKEACKTIMEOUT 0x400b
#define DMLERR_POSTMSG_FAILED 0x400c
#define DMLERR_REENTRANCY 0x400d
#define DMLERR_SERVER_DIED 0x400e
#define DMLERR_SYS_ERROR 0x400f
#define DMLERR_UNADVACKTIMEOUT 0x4010
#define DMLERR_UNFOUND_QUEUE_ID 0x4011
#define DMLERR_LAST 0x4011

UINT WINAPI DdeInitializeA(LPDWORD pidInst, PFNCALLBACK pfnCallback, DWORD afCmd, DWORD ulRes);
BOOL WINAPI DdeUninitialize(DWORD idInst);
HSZ WINAPI DdeCreateStringHandleA(DWORD idInst, LPCSTR psz, int iCodePage);
BOOL WINAPI DdeFreeStringHandle(DWORD idInst, HSZ hsz);
HCONV WINAPI DdeConnect(DWORD idInst, HSZ hszService, HSZ hszTopic, PCONVCONTEXT pCC);
BOOL WINAPI DdeDisconnect(HCONV hConv);
HDDEDATA WINAPI DdeClientTransaction(LPBYTE pData, DWORD cbData, HCONV hConv, HSZ hszItem,
                                     UINT wFmt, UINT wType, DWORD dwTimeout, LPDWORD pdwResult);
BOOL WINAPI DdeFreeDataHandle(HDDEDATA hData);
UINT WINAPI DdeGetLastError(DWORD idInst);

#ifdef __cplusplus
}
#endif

#endif
