/* Kerberos settings of this tool's own, layered over the system's before Samba's Kerberos
 * library reads its configuration. Samba asks the KDC for a service ticket inside the SMB
 * session set-up, synchronously and outside the event loop whose timer bounds the set-up, so
 * only the library's own time-outs bound that exchange: 30 s per try with its defaults. It is
 * callable from C, because the Samba transport is C. */
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

/* Puts a private profile with short KDC time-outs first in KRB5_CONFIG, followed by the files
 * the library would read otherwise (KRB5_CONFIG as given, else the library's default list), so
 * the system's realms, KDCs and every other setting still apply. Later calls in the same
 * process, or in a child forked from it, change nothing. Where the profile cannot be made,
 * KRB5_CONFIG is left as it was. */
void cairnLayerKerberosProfile(void);

#ifdef __cplusplus
}
#endif
