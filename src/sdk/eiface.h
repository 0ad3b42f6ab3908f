// Engine and game-library function tables (engine interface 140), declared from the published
// layout: every entry is a plain cdecl function pointer, so entry N sits at N pointer sizes.
#pragma once

#include <cstddef>

#include "sdk/edict.h"

struct TraceResult {
  int fAllSolid;
  int fStartSolid;
  int fInOpen;
  int fInWater;
  float flFraction;
  vec3_t vecEndPos;
  float flPlaneDist;
  vec3_t vecPlaneNormal;
  edict_t *pHit;
  int iHitgroup;
};

struct KeyValueData {
  char *szClassName;
  char *szKeyName;
  char *szValue;
  int32 fHandled;
};

// The engine passes these as plain ints; a fixed underlying type keeps any value it sends valid.
typedef enum : int {
  at_notice,
  at_console,
  at_aiconsole,
  at_warning,
  at_error,
  at_logged
} ALERT_TYPE;
typedef enum : int { print_console, print_center, print_chat } PRINT_TYPE;
typedef enum : int {
  force_exactfile,
  force_model_samebounds,
  force_model_specifybounds,
  force_model_specifybounds_if_avail
} FORCE_TYPE;

struct delta_s;
struct entity_state_s;
struct sequenceEntry_s;
struct sentenceEntry_s;
struct playermove_s;
struct clientdata_s;
struct weapon_data_s;
struct usercmd_s;
struct netadr_s;
struct customization_s;
struct saverestore_s;
struct typedescription_s;
typedef struct customization_s customization_t;
typedef struct saverestore_s SAVERESTOREDATA;
typedef struct typedescription_s TYPEDESCRIPTION;

#define INTERFACE_VERSION 140
#define NEW_DLL_FUNCTIONS_VERSION 1

// The classic 157-entry table (engines from late 2005 on): 628 bytes on i386. Later engines
// append pfnCheckParm and pfnPEntityOfEntIndexAllEntities, which nothing here uses.
typedef struct enginefuncs_s {
  int (*pfnPrecacheModel)(char *s);
  int (*pfnPrecacheSound)(char *s);
  void (*pfnSetModel)(edict_t *e, const char *m);
  int (*pfnModelIndex)(const char *m);
  int (*pfnModelFrames)(int modelIndex);
  void (*pfnSetSize)(edict_t *e, const float *rgflMin, const float *rgflMax);
  void (*pfnChangeLevel)(char *s1, char *s2);
  void (*pfnGetSpawnParms)(edict_t *ent);
  void (*pfnSaveSpawnParms)(edict_t *ent);
  float (*pfnVecToYaw)(const float *rgflVector);
  void (*pfnVecToAngles)(const float *rgflVectorIn, float *rgflVectorOut);
  void (*pfnMoveToOrigin)(edict_t *ent, const float *pflGoal, float dist, int iMoveType);
  void (*pfnChangeYaw)(edict_t *ent);
  void (*pfnChangePitch)(edict_t *ent);
  edict_t *(*pfnFindEntityByString)(edict_t *pEdictStartSearchAfter, const char *pszField,
                                    const char *pszValue);
  int (*pfnGetEntityIllum)(edict_t *pEnt);
  edict_t *(*pfnFindEntityInSphere)(edict_t *pEdictStartSearchAfter, const float *org, float rad);
  edict_t *(*pfnFindClientInPVS)(edict_t *pEdict);
  edict_t *(*pfnEntitiesInPVS)(edict_t *pplayer);
  void (*pfnMakeVectors)(const float *rgflVector);
  void (*pfnAngleVectors)(const float *rgflVector, float *forward, float *right, float *up);
  edict_t *(*pfnCreateEntity)(void);
  void (*pfnRemoveEntity)(edict_t *e);
  edict_t *(*pfnCreateNamedEntity)(int className);
  void (*pfnMakeStatic)(edict_t *ent);
  int (*pfnEntIsOnFloor)(edict_t *e);
  int (*pfnDropToFloor)(edict_t *e);
  int (*pfnWalkMove)(edict_t *ent, float yaw, float dist, int iMode);
  void (*pfnSetOrigin)(edict_t *e, const float *rgflOrigin);
  void (*pfnEmitSound)(edict_t *entity, int channel, const char *sample, float volume,
                       float attenuation, int fFlags, int pitch);
  void (*pfnEmitAmbientSound)(edict_t *entity, float *pos, const char *samp, float vol,
                              float attenuation, int fFlags, int pitch);
  void (*pfnTraceLine)(const float *v1, const float *v2, int fNoMonsters, edict_t *pentToSkip,
                       TraceResult *ptr);
  void (*pfnTraceToss)(edict_t *pent, edict_t *pentToIgnore, TraceResult *ptr);
  int (*pfnTraceMonsterHull)(edict_t *pEdict, const float *v1, const float *v2, int fNoMonsters,
                             edict_t *pentToSkip, TraceResult *ptr);
  void (*pfnTraceHull)(const float *v1, const float *v2, int fNoMonsters, int hullNumber,
                       edict_t *pentToSkip, TraceResult *ptr);
  void (*pfnTraceModel)(const float *v1, const float *v2, int hullNumber, edict_t *pent,
                        TraceResult *ptr);
  const char *(*pfnTraceTexture)(edict_t *pTextureEntity, const float *v1, const float *v2);
  void (*pfnTraceSphere)(const float *v1, const float *v2, int fNoMonsters, float radius,
                         edict_t *pentToSkip, TraceResult *ptr);
  void (*pfnGetAimVector)(edict_t *ent, float speed, float *rgflReturn);
  void (*pfnServerCommand)(char *str);
  void (*pfnServerExecute)(void);
  void (*pfnClientCommand)(edict_t *pEdict, char *szFmt, ...);
  void (*pfnParticleEffect)(const float *org, const float *dir, float color, float count);
  void (*pfnLightStyle)(int style, char *val);
  int (*pfnDecalIndex)(const char *name);
  int (*pfnPointContents)(const float *rgflVector);
  void (*pfnMessageBegin)(int msg_dest, int msg_type, const float *pOrigin, edict_t *ed);
  void (*pfnMessageEnd)(void);
  void (*pfnWriteByte)(int iValue);
  void (*pfnWriteChar)(int iValue);
  void (*pfnWriteShort)(int iValue);
  void (*pfnWriteLong)(int iValue);
  void (*pfnWriteAngle)(float flValue);
  void (*pfnWriteCoord)(float flValue);
  void (*pfnWriteString)(const char *sz);
  void (*pfnWriteEntity)(int iValue);
  void (*pfnCVarRegister)(cvar_t *pCvar);
  float (*pfnCVarGetFloat)(const char *szVarName);
  const char *(*pfnCVarGetString)(const char *szVarName);
  void (*pfnCVarSetFloat)(const char *szVarName, float flValue);
  void (*pfnCVarSetString)(const char *szVarName, const char *szValue);
  void (*pfnAlertMessage)(ALERT_TYPE atype, char *szFmt, ...);
  void (*pfnEngineFprintf)(void *pfile, char *szFmt, ...);
  void *(*pfnPvAllocEntPrivateData)(edict_t *pEdict, int32 cb);
  void *(*pfnPvEntPrivateData)(edict_t *pEdict);
  void (*pfnFreeEntPrivateData)(edict_t *pEdict);
  const char *(*pfnSzFromIndex)(int iString);
  int (*pfnAllocString)(const char *szValue);
  struct entvars_s *(*pfnGetVarsOfEnt)(edict_t *pEdict);
  edict_t *(*pfnPEntityOfEntOffset)(int iEntOffset);
  int (*pfnEntOffsetOfPEntity)(const edict_t *pEdict);
  int (*pfnIndexOfEdict)(const edict_t *pEdict);
  edict_t *(*pfnPEntityOfEntIndex)(int iEntIndex);
  edict_t *(*pfnFindEntityByVars)(struct entvars_s *pvars);
  void *(*pfnGetModelPtr)(edict_t *pEdict);
  int (*pfnRegUserMsg)(const char *pszName, int iSize);
  void (*pfnAnimationAutomove)(const edict_t *pEdict, float flTime);
  void (*pfnGetBonePosition)(const edict_t *pEdict, int iBone, float *rgflOrigin,
                             float *rgflAngles);
  uint32 (*pfnFunctionFromName)(const char *pName);
  const char *(*pfnNameForFunction)(uint32 function);
  void (*pfnClientPrintf)(edict_t *pEdict, PRINT_TYPE ptype, const char *szMsg);
  void (*pfnServerPrint)(const char *szMsg);
  const char *(*pfnCmd_Args)(void);
  const char *(*pfnCmd_Argv)(int argc);
  int (*pfnCmd_Argc)(void);
  void (*pfnGetAttachment)(const edict_t *pEdict, int iAttachment, float *rgflOrigin,
                           float *rgflAngles);
  void (*pfnCRC32_Init)(CRC32_t *pulCRC);
  void (*pfnCRC32_ProcessBuffer)(CRC32_t *pulCRC, void *p, int len);
  void (*pfnCRC32_ProcessByte)(CRC32_t *pulCRC, unsigned char ch);
  CRC32_t (*pfnCRC32_Final)(CRC32_t pulCRC);
  int32 (*pfnRandomLong)(int32 lLow, int32 lHigh);
  float (*pfnRandomFloat)(float flLow, float flHigh);
  void (*pfnSetView)(const edict_t *pClient, const edict_t *pViewent);
  float (*pfnTime)(void);
  void (*pfnCrosshairAngle)(const edict_t *pClient, float pitch, float yaw);
  byte *(*pfnLoadFileForMe)(char *filename, int *pLength);
  void (*pfnFreeFile)(void *buffer);
  void (*pfnEndSection)(const char *pszSectionName);
  int (*pfnCompareFileTime)(char *filename1, char *filename2, int *iCompare);
  void (*pfnGetGameDir)(char *szGetGameDir);
  void (*pfnCvar_RegisterVariable)(cvar_t *variable);
  void (*pfnFadeClientVolume)(const edict_t *pEdict, int fadePercent, int fadeOutSeconds,
                              int holdTime, int fadeInSeconds);
  void (*pfnSetClientMaxspeed)(const edict_t *pEdict, float fNewMaxspeed);
  edict_t *(*pfnCreateFakeClient)(const char *netname);
  void (*pfnRunPlayerMove)(edict_t *fakeclient, const float *viewangles, float forwardmove,
                           float sidemove, float upmove, unsigned short buttons, byte impulse,
                           byte msec);
  int (*pfnNumberOfEntities)(void);
  char *(*pfnGetInfoKeyBuffer)(edict_t *e);
  char *(*pfnInfoKeyValue)(char *infobuffer, char *key);
  void (*pfnSetKeyValue)(char *infobuffer, char *key, char *value);
  void (*pfnSetClientKeyValue)(int clientIndex, char *infobuffer, char *key, char *value);
  int (*pfnIsMapValid)(char *filename);
  void (*pfnStaticDecal)(const float *origin, int decalIndex, int entityIndex, int modelIndex);
  int (*pfnPrecacheGeneric)(char *s);
  int (*pfnGetPlayerUserId)(edict_t *e);
  void (*pfnBuildSoundMsg)(edict_t *entity, int channel, const char *sample, float volume,
                           float attenuation, int fFlags, int pitch, int msg_dest, int msg_type,
                           const float *pOrigin, edict_t *ed);
  int (*pfnIsDedicatedServer)(void);
  cvar_t *(*pfnCVarGetPointer)(const char *szVarName);
  unsigned int (*pfnGetPlayerWONId)(edict_t *e);
  void (*pfnInfo_RemoveKey)(char *s, const char *key);
  const char *(*pfnGetPhysicsKeyValue)(const edict_t *pClient, const char *key);
  void (*pfnSetPhysicsKeyValue)(const edict_t *pClient, const char *key, const char *value);
  const char *(*pfnGetPhysicsInfoString)(const edict_t *pClient);
  unsigned short (*pfnPrecacheEvent)(int type, const char *psz);
  void (*pfnPlaybackEvent)(int flags, const edict_t *pInvoker, unsigned short eventindex,
                           float delay, float *origin, float *angles, float fparam1, float fparam2,
                           int iparam1, int iparam2, int bparam1, int bparam2);
  unsigned char *(*pfnSetFatPVS)(float *org);
  unsigned char *(*pfnSetFatPAS)(float *org);
  int (*pfnCheckVisibility)(const edict_t *entity, unsigned char *pset);
  void (*pfnDeltaSetField)(struct delta_s *pFields, const char *fieldname);
  void (*pfnDeltaUnsetField)(struct delta_s *pFields, const char *fieldname);
  void (*pfnDeltaAddEncoder)(char *name, void (*conditionalencode)(struct delta_s *pFields,
                                                                   const unsigned char *from,
                                                                   const unsigned char *to));
  int (*pfnGetCurrentPlayer)(void);
  int (*pfnCanSkipPlayer)(const edict_t *player);
  int (*pfnDeltaFindField)(struct delta_s *pFields, const char *fieldname);
  void (*pfnDeltaSetFieldByIndex)(struct delta_s *pFields, int fieldNumber);
  void (*pfnDeltaUnsetFieldByIndex)(struct delta_s *pFields, int fieldNumber);
  void (*pfnSetGroupMask)(int mask, int op);
  int (*pfnCreateInstancedBaseline)(int classname, struct entity_state_s *baseline);
  void (*pfnCvar_DirectSet)(struct cvar_s *var, char *value);
  void (*pfnForceUnmodified)(FORCE_TYPE type, float *mins, float *maxs, const char *filename);
  void (*pfnGetPlayerStats)(const edict_t *pClient, int *ping, int *packet_loss);
  void (*pfnAddServerCommand)(char *cmd_name, void (*function)(void));
  qboolean (*pfnVoice_GetClientListening)(int iReceiver, int iSender);
  qboolean (*pfnVoice_SetClientListening)(int iReceiver, int iSender, qboolean bListen);
  const char *(*pfnGetPlayerAuthId)(edict_t *e);
  struct sequenceEntry_s *(*pfnSequenceGet)(const char *fileName, const char *entryName);
  struct sentenceEntry_s *(*pfnSequencePickSentence)(const char *groupName, int pickMethod,
                                                     int *picked);
  int (*pfnGetFileSize)(char *filename);
  unsigned int (*pfnGetApproxWavePlayLen)(const char *filepath);
  int (*pfnIsCareerMatch)(void);
  int (*pfnGetLocalizedStringLength)(const char *label);
  void (*pfnRegisterTutorMessageShown)(int mid);
  int (*pfnGetTimesTutorMessageShown)(int mid);
  void (*ProcessTutorMessageDecayBuffer)(int *buffer, int bufferLength);
  void (*ConstructTutorMessageDecayBuffer)(int *buffer, int bufferLength);
  void (*ResetTutorMessageDecayData)(void);
  void (*pfnQueryClientCvarValue)(const edict_t *player, const char *cvarName);
  void (*pfnQueryClientCvarValue2)(const edict_t *player, const char *cvarName, int requestID);
} enginefuncs_t;

typedef struct {
  void (*pfnGameInit)(void);
  int (*pfnSpawn)(edict_t *pent);
  void (*pfnThink)(edict_t *pent);
  void (*pfnUse)(edict_t *pentUsed, edict_t *pentOther);
  void (*pfnTouch)(edict_t *pentTouched, edict_t *pentOther);
  void (*pfnBlocked)(edict_t *pentBlocked, edict_t *pentOther);
  void (*pfnKeyValue)(edict_t *pentKeyvalue, KeyValueData *pkvd);
  void (*pfnSave)(edict_t *pent, SAVERESTOREDATA *pSaveData);
  int (*pfnRestore)(edict_t *pent, SAVERESTOREDATA *pSaveData, int globalEntity);
  void (*pfnSetAbsBox)(edict_t *pent);
  void (*pfnSaveWriteFields)(SAVERESTOREDATA *pSaveData, const char *pname, void *pBaseData,
                             TYPEDESCRIPTION *pFields, int fieldCount);
  void (*pfnSaveReadFields)(SAVERESTOREDATA *pSaveData, const char *pname, void *pBaseData,
                            TYPEDESCRIPTION *pFields, int fieldCount);
  void (*pfnSaveGlobalState)(SAVERESTOREDATA *pSaveData);
  void (*pfnRestoreGlobalState)(SAVERESTOREDATA *pSaveData);
  void (*pfnResetGlobalState)(void);
  qboolean (*pfnClientConnect)(edict_t *pEntity, const char *pszName, const char *pszAddress,
                               char szRejectReason[128]);
  void (*pfnClientDisconnect)(edict_t *pEntity);
  void (*pfnClientKill)(edict_t *pEntity);
  void (*pfnClientPutInServer)(edict_t *pEntity);
  void (*pfnClientCommand)(edict_t *pEntity);
  void (*pfnClientUserInfoChanged)(edict_t *pEntity, char *infobuffer);
  void (*pfnServerActivate)(edict_t *pEdictList, int edictCount, int clientMax);
  void (*pfnServerDeactivate)(void);
  void (*pfnPlayerPreThink)(edict_t *pEntity);
  void (*pfnPlayerPostThink)(edict_t *pEntity);
  void (*pfnStartFrame)(void);
  void (*pfnParmsNewLevel)(void);
  void (*pfnParmsChangeLevel)(void);
  const char *(*pfnGetGameDescription)(void);
  void (*pfnPlayerCustomization)(edict_t *pEntity, customization_t *pCustom);
  void (*pfnSpectatorConnect)(edict_t *pEntity);
  void (*pfnSpectatorDisconnect)(edict_t *pEntity);
  void (*pfnSpectatorThink)(edict_t *pEntity);
  void (*pfnSys_Error)(const char *error_string);
  void (*pfnPM_Move)(struct playermove_s *ppmove, qboolean server);
  void (*pfnPM_Init)(struct playermove_s *ppmove);
  char (*pfnPM_FindTextureType)(char *name);
  void (*pfnSetupVisibility)(struct edict_s *pViewEntity, struct edict_s *pClient,
                             unsigned char **pvs, unsigned char **pas);
  void (*pfnUpdateClientData)(const struct edict_s *ent, int sendweapons, struct clientdata_s *cd);
  int (*pfnAddToFullPack)(struct entity_state_s *state, int e, edict_t *ent, edict_t *host,
                          int hostflags, int player, unsigned char *pSet);
  void (*pfnCreateBaseline)(int player, int eindex, struct entity_state_s *baseline,
                            struct edict_s *entity, int playermodelindex, vec3_t player_mins,
                            vec3_t player_maxs);
  void (*pfnRegisterEncoders)(void);
  int (*pfnGetWeaponData)(struct edict_s *player, struct weapon_data_s *info);
  void (*pfnCmdStart)(const edict_t *player, const struct usercmd_s *cmd, unsigned int random_seed);
  void (*pfnCmdEnd)(const edict_t *player);
  int (*pfnConnectionlessPacket)(const struct netadr_s *net_from, const char *args,
                                 char *response_buffer, int *response_buffer_size);
  int (*pfnGetHullBounds)(int hullnumber, float *mins, float *maxs);
  void (*pfnCreateInstancedBaselines)(void);
  int (*pfnInconsistentFile)(const struct edict_s *player, const char *filename,
                             char *disconnect_message);
  int (*pfnAllowLagCompensation)(void);
} DLL_FUNCTIONS;

typedef struct {
  void (*pfnOnFreeEntPrivateData)(edict_t *pEnt);
  void (*pfnGameShutdown)(void);
  int (*pfnShouldCollide)(edict_t *pentTouched, edict_t *pentOther);
  void (*pfnCvarValue)(const edict_t *pEnt, const char *value);
  void (*pfnCvarValue2)(const edict_t *pEnt, int requestID, const char *cvarName,
                        const char *value);
} NEW_DLL_FUNCTIONS;

typedef int (*APIFUNCTION)(DLL_FUNCTIONS *pFunctionTable, int interfaceVersion);
typedef int (*APIFUNCTION2)(DLL_FUNCTIONS *pFunctionTable, int *interfaceVersion);
typedef APIFUNCTION GETENTITYAPI_FN;
typedef APIFUNCTION2 GETENTITYAPI2_FN;
typedef int (*NEW_DLL_FUNCTIONS_FN)(NEW_DLL_FUNCTIONS *pFunctionTable, int *interfaceVersion);
typedef NEW_DLL_FUNCTIONS_FN GETNEWDLLFUNCTIONS_FN;

// Entry lists in table order, used for the layout checks below and by tools that fill a table.
#define QRV_ENGINEFUNCS_ENTRIES(X)         \
  X(0, pfnPrecacheModel)                   \
  X(1, pfnPrecacheSound)                   \
  X(2, pfnSetModel)                        \
  X(3, pfnModelIndex)                      \
  X(4, pfnModelFrames)                     \
  X(5, pfnSetSize)                         \
  X(6, pfnChangeLevel)                     \
  X(7, pfnGetSpawnParms)                   \
  X(8, pfnSaveSpawnParms)                  \
  X(9, pfnVecToYaw)                        \
  X(10, pfnVecToAngles)                    \
  X(11, pfnMoveToOrigin)                   \
  X(12, pfnChangeYaw)                      \
  X(13, pfnChangePitch)                    \
  X(14, pfnFindEntityByString)             \
  X(15, pfnGetEntityIllum)                 \
  X(16, pfnFindEntityInSphere)             \
  X(17, pfnFindClientInPVS)                \
  X(18, pfnEntitiesInPVS)                  \
  X(19, pfnMakeVectors)                    \
  X(20, pfnAngleVectors)                   \
  X(21, pfnCreateEntity)                   \
  X(22, pfnRemoveEntity)                   \
  X(23, pfnCreateNamedEntity)              \
  X(24, pfnMakeStatic)                     \
  X(25, pfnEntIsOnFloor)                   \
  X(26, pfnDropToFloor)                    \
  X(27, pfnWalkMove)                       \
  X(28, pfnSetOrigin)                      \
  X(29, pfnEmitSound)                      \
  X(30, pfnEmitAmbientSound)               \
  X(31, pfnTraceLine)                      \
  X(32, pfnTraceToss)                      \
  X(33, pfnTraceMonsterHull)               \
  X(34, pfnTraceHull)                      \
  X(35, pfnTraceModel)                     \
  X(36, pfnTraceTexture)                   \
  X(37, pfnTraceSphere)                    \
  X(38, pfnGetAimVector)                   \
  X(39, pfnServerCommand)                  \
  X(40, pfnServerExecute)                  \
  X(41, pfnClientCommand)                  \
  X(42, pfnParticleEffect)                 \
  X(43, pfnLightStyle)                     \
  X(44, pfnDecalIndex)                     \
  X(45, pfnPointContents)                  \
  X(46, pfnMessageBegin)                   \
  X(47, pfnMessageEnd)                     \
  X(48, pfnWriteByte)                      \
  X(49, pfnWriteChar)                      \
  X(50, pfnWriteShort)                     \
  X(51, pfnWriteLong)                      \
  X(52, pfnWriteAngle)                     \
  X(53, pfnWriteCoord)                     \
  X(54, pfnWriteString)                    \
  X(55, pfnWriteEntity)                    \
  X(56, pfnCVarRegister)                   \
  X(57, pfnCVarGetFloat)                   \
  X(58, pfnCVarGetString)                  \
  X(59, pfnCVarSetFloat)                   \
  X(60, pfnCVarSetString)                  \
  X(61, pfnAlertMessage)                   \
  X(62, pfnEngineFprintf)                  \
  X(63, pfnPvAllocEntPrivateData)          \
  X(64, pfnPvEntPrivateData)               \
  X(65, pfnFreeEntPrivateData)             \
  X(66, pfnSzFromIndex)                    \
  X(67, pfnAllocString)                    \
  X(68, pfnGetVarsOfEnt)                   \
  X(69, pfnPEntityOfEntOffset)             \
  X(70, pfnEntOffsetOfPEntity)             \
  X(71, pfnIndexOfEdict)                   \
  X(72, pfnPEntityOfEntIndex)              \
  X(73, pfnFindEntityByVars)               \
  X(74, pfnGetModelPtr)                    \
  X(75, pfnRegUserMsg)                     \
  X(76, pfnAnimationAutomove)              \
  X(77, pfnGetBonePosition)                \
  X(78, pfnFunctionFromName)               \
  X(79, pfnNameForFunction)                \
  X(80, pfnClientPrintf)                   \
  X(81, pfnServerPrint)                    \
  X(82, pfnCmd_Args)                       \
  X(83, pfnCmd_Argv)                       \
  X(84, pfnCmd_Argc)                       \
  X(85, pfnGetAttachment)                  \
  X(86, pfnCRC32_Init)                     \
  X(87, pfnCRC32_ProcessBuffer)            \
  X(88, pfnCRC32_ProcessByte)              \
  X(89, pfnCRC32_Final)                    \
  X(90, pfnRandomLong)                     \
  X(91, pfnRandomFloat)                    \
  X(92, pfnSetView)                        \
  X(93, pfnTime)                           \
  X(94, pfnCrosshairAngle)                 \
  X(95, pfnLoadFileForMe)                  \
  X(96, pfnFreeFile)                       \
  X(97, pfnEndSection)                     \
  X(98, pfnCompareFileTime)                \
  X(99, pfnGetGameDir)                     \
  X(100, pfnCvar_RegisterVariable)         \
  X(101, pfnFadeClientVolume)              \
  X(102, pfnSetClientMaxspeed)             \
  X(103, pfnCreateFakeClient)              \
  X(104, pfnRunPlayerMove)                 \
  X(105, pfnNumberOfEntities)              \
  X(106, pfnGetInfoKeyBuffer)              \
  X(107, pfnInfoKeyValue)                  \
  X(108, pfnSetKeyValue)                   \
  X(109, pfnSetClientKeyValue)             \
  X(110, pfnIsMapValid)                    \
  X(111, pfnStaticDecal)                   \
  X(112, pfnPrecacheGeneric)               \
  X(113, pfnGetPlayerUserId)               \
  X(114, pfnBuildSoundMsg)                 \
  X(115, pfnIsDedicatedServer)             \
  X(116, pfnCVarGetPointer)                \
  X(117, pfnGetPlayerWONId)                \
  X(118, pfnInfo_RemoveKey)                \
  X(119, pfnGetPhysicsKeyValue)            \
  X(120, pfnSetPhysicsKeyValue)            \
  X(121, pfnGetPhysicsInfoString)          \
  X(122, pfnPrecacheEvent)                 \
  X(123, pfnPlaybackEvent)                 \
  X(124, pfnSetFatPVS)                     \
  X(125, pfnSetFatPAS)                     \
  X(126, pfnCheckVisibility)               \
  X(127, pfnDeltaSetField)                 \
  X(128, pfnDeltaUnsetField)               \
  X(129, pfnDeltaAddEncoder)               \
  X(130, pfnGetCurrentPlayer)              \
  X(131, pfnCanSkipPlayer)                 \
  X(132, pfnDeltaFindField)                \
  X(133, pfnDeltaSetFieldByIndex)          \
  X(134, pfnDeltaUnsetFieldByIndex)        \
  X(135, pfnSetGroupMask)                  \
  X(136, pfnCreateInstancedBaseline)       \
  X(137, pfnCvar_DirectSet)                \
  X(138, pfnForceUnmodified)               \
  X(139, pfnGetPlayerStats)                \
  X(140, pfnAddServerCommand)              \
  X(141, pfnVoice_GetClientListening)      \
  X(142, pfnVoice_SetClientListening)      \
  X(143, pfnGetPlayerAuthId)               \
  X(144, pfnSequenceGet)                   \
  X(145, pfnSequencePickSentence)          \
  X(146, pfnGetFileSize)                   \
  X(147, pfnGetApproxWavePlayLen)          \
  X(148, pfnIsCareerMatch)                 \
  X(149, pfnGetLocalizedStringLength)      \
  X(150, pfnRegisterTutorMessageShown)     \
  X(151, pfnGetTimesTutorMessageShown)     \
  X(152, ProcessTutorMessageDecayBuffer)   \
  X(153, ConstructTutorMessageDecayBuffer) \
  X(154, ResetTutorMessageDecayData)       \
  X(155, pfnQueryClientCvarValue)          \
  X(156, pfnQueryClientCvarValue2)

#define QRV_DLL_FUNCTIONS_ENTRIES(X) \
  X(0, pfnGameInit)                  \
  X(1, pfnSpawn)                     \
  X(2, pfnThink)                     \
  X(3, pfnUse)                       \
  X(4, pfnTouch)                     \
  X(5, pfnBlocked)                   \
  X(6, pfnKeyValue)                  \
  X(7, pfnSave)                      \
  X(8, pfnRestore)                   \
  X(9, pfnSetAbsBox)                 \
  X(10, pfnSaveWriteFields)          \
  X(11, pfnSaveReadFields)           \
  X(12, pfnSaveGlobalState)          \
  X(13, pfnRestoreGlobalState)       \
  X(14, pfnResetGlobalState)         \
  X(15, pfnClientConnect)            \
  X(16, pfnClientDisconnect)         \
  X(17, pfnClientKill)               \
  X(18, pfnClientPutInServer)        \
  X(19, pfnClientCommand)            \
  X(20, pfnClientUserInfoChanged)    \
  X(21, pfnServerActivate)           \
  X(22, pfnServerDeactivate)         \
  X(23, pfnPlayerPreThink)           \
  X(24, pfnPlayerPostThink)          \
  X(25, pfnStartFrame)               \
  X(26, pfnParmsNewLevel)            \
  X(27, pfnParmsChangeLevel)         \
  X(28, pfnGetGameDescription)       \
  X(29, pfnPlayerCustomization)      \
  X(30, pfnSpectatorConnect)         \
  X(31, pfnSpectatorDisconnect)      \
  X(32, pfnSpectatorThink)           \
  X(33, pfnSys_Error)                \
  X(34, pfnPM_Move)                  \
  X(35, pfnPM_Init)                  \
  X(36, pfnPM_FindTextureType)       \
  X(37, pfnSetupVisibility)          \
  X(38, pfnUpdateClientData)         \
  X(39, pfnAddToFullPack)            \
  X(40, pfnCreateBaseline)           \
  X(41, pfnRegisterEncoders)         \
  X(42, pfnGetWeaponData)            \
  X(43, pfnCmdStart)                 \
  X(44, pfnCmdEnd)                   \
  X(45, pfnConnectionlessPacket)     \
  X(46, pfnGetHullBounds)            \
  X(47, pfnCreateInstancedBaselines) \
  X(48, pfnInconsistentFile)         \
  X(49, pfnAllowLagCompensation)

#define QRV_NEW_DLL_FUNCTIONS_ENTRIES(X) \
  X(0, pfnOnFreeEntPrivateData)          \
  X(1, pfnGameShutdown)                  \
  X(2, pfnShouldCollide)                 \
  X(3, pfnCvarValue)                     \
  X(4, pfnCvarValue2)

#define QRV_CHECK_TABLE_ENTRY(table, index, name)                                     \
  static_assert(offsetof(table, name) == (index) * sizeof(void *), #table "::" #name  \
                                                                          " misplace" \
                                                                          "d");
#define QRV_CHECK_ENGINE_ENTRY(index, name) QRV_CHECK_TABLE_ENTRY(enginefuncs_t, index, name)
#define QRV_CHECK_DLL_ENTRY(index, name) QRV_CHECK_TABLE_ENTRY(DLL_FUNCTIONS, index, name)
#define QRV_CHECK_NEW_DLL_ENTRY(index, name) QRV_CHECK_TABLE_ENTRY(NEW_DLL_FUNCTIONS, index, name)
QRV_ENGINEFUNCS_ENTRIES(QRV_CHECK_ENGINE_ENTRY)
QRV_DLL_FUNCTIONS_ENTRIES(QRV_CHECK_DLL_ENTRY)
QRV_NEW_DLL_FUNCTIONS_ENTRIES(QRV_CHECK_NEW_DLL_ENTRY)
#undef QRV_CHECK_ENGINE_ENTRY
#undef QRV_CHECK_DLL_ENTRY
#undef QRV_CHECK_NEW_DLL_ENTRY

static_assert(sizeof(enginefuncs_t) == 157 * sizeof(void *), "enginefuncs_t holds 157 entries");
static_assert(sizeof(DLL_FUNCTIONS) == 50 * sizeof(void *), "DLL_FUNCTIONS holds 50 entries");
static_assert(sizeof(NEW_DLL_FUNCTIONS) == 5 * sizeof(void *), "NEW_DLL_FUNCTIONS holds 5 entries");
#if QRV_SDK_32BIT
static_assert(sizeof(enginefuncs_t) == 628, "enginefuncs_t is 628 bytes on i386");
static_assert(sizeof(DLL_FUNCTIONS) == 200, "DLL_FUNCTIONS is 200 bytes on i386");
static_assert(sizeof(NEW_DLL_FUNCTIONS) == 20, "NEW_DLL_FUNCTIONS is 20 bytes on i386");
#endif
QRV_CHECK_OFFSET(TraceResult, pHit, 48, 48);
QRV_CHECK_OFFSET(TraceResult, iHitgroup, 52, 56);
QRV_CHECK_SIZE(TraceResult, 56, 64);
QRV_CHECK_SIZE(KeyValueData, 16, 32);
