// Basic engine types and the entity, global-variable and console-variable records, declared from
// the published layout. Offsets are checked below for the 32-bit engine and for 64-bit hosts
// (string_t stays 4 bytes there, as every 64-bit SDK keeps it).
#pragma once

#include <cstddef>
#include <cstdint>

#if UINTPTR_MAX == 0xffffffffu
#define QRV_SDK_32BIT 1
#else
#define QRV_SDK_32BIT 0
#endif

#define QRV_CHECK_OFFSET(type, field, x86, x64)                           \
  static_assert(offsetof(type, field) == (QRV_SDK_32BIT ? (x86) : (x64)), \
                #type "::" #field " misplaced")
#define QRV_CHECK_SIZE(type, x86, x64) \
  static_assert(sizeof(type) == (QRV_SDK_32BIT ? (x86) : (x64)), "sizeof(" #type ") is wrong")

typedef unsigned char byte;
typedef int int32;
typedef unsigned int uint32;
typedef int qboolean;
typedef unsigned int string_t;
typedef unsigned int func_t;
typedef uint32 CRC32_t;
typedef float vec_t;
typedef vec_t vec3_t[3];

struct edict_s;
typedef struct edict_s edict_t;

// cvar_t and its flags
#define FCVAR_ARCHIVE (1 << 0)
#define FCVAR_USERINFO (1 << 1)
#define FCVAR_SERVER (1 << 2)
#define FCVAR_EXTDLL (1 << 3)
#define FCVAR_CLIENTDLL (1 << 4)
#define FCVAR_PROTECTED (1 << 5)
#define FCVAR_SPONLY (1 << 6)
#define FCVAR_PRINTABLEONLY (1 << 7)
#define FCVAR_UNLOGGED (1 << 8)
#define FCVAR_NOEXTRAWHITEPACE (1 << 9)
#define FCVAR_PRIVILEGED (1 << 10)
#define FCVAR_FILTERSTUFFTEXT (1 << 11)
#define FCVAR_FILTERCHARS (1 << 12)
#define FCVAR_NOBADPATHS (1 << 13)

typedef struct cvar_s {
  const char *name;
  const char *string;
  int flags;
  float value;
  struct cvar_s *next;
} cvar_t;

QRV_CHECK_OFFSET(cvar_t, name, 0, 0);
QRV_CHECK_OFFSET(cvar_t, string, 4, 8);
QRV_CHECK_OFFSET(cvar_t, flags, 8, 16);
QRV_CHECK_OFFSET(cvar_t, value, 12, 20);
QRV_CHECK_OFFSET(cvar_t, next, 16, 24);
QRV_CHECK_SIZE(cvar_t, 20, 32);

typedef struct globalvars_t {
  float time;
  float frametime;
  float force_retouch;
  string_t mapname;
  string_t startspot;
  float deathmatch;
  float coop;
  float teamplay;
  float serverflags;
  float found_secrets;
  vec3_t v_forward;
  vec3_t v_up;
  vec3_t v_right;
  float trace_allsolid;
  float trace_startsolid;
  float trace_fraction;
  vec3_t trace_endpos;
  vec3_t trace_plane_normal;
  float trace_plane_dist;
  edict_t *trace_ent;
  float trace_inopen;
  float trace_inwater;
  int trace_hitgroup;
  int trace_flags;
  int msg_entity;
  int cdAudioTrack;
  int maxClients;
  int maxEntities;
  const char *pStringBase;
  void *pSaveData;
  vec3_t vecLandmarkOffset;
} globalvars_t;

QRV_CHECK_OFFSET(globalvars_t, time, 0, 0);
QRV_CHECK_OFFSET(globalvars_t, frametime, 4, 4);
QRV_CHECK_OFFSET(globalvars_t, force_retouch, 8, 8);
QRV_CHECK_OFFSET(globalvars_t, mapname, 12, 12);
QRV_CHECK_OFFSET(globalvars_t, startspot, 16, 16);
QRV_CHECK_OFFSET(globalvars_t, deathmatch, 20, 20);
QRV_CHECK_OFFSET(globalvars_t, coop, 24, 24);
QRV_CHECK_OFFSET(globalvars_t, teamplay, 28, 28);
QRV_CHECK_OFFSET(globalvars_t, serverflags, 32, 32);
QRV_CHECK_OFFSET(globalvars_t, found_secrets, 36, 36);
QRV_CHECK_OFFSET(globalvars_t, v_forward, 40, 40);
QRV_CHECK_OFFSET(globalvars_t, v_up, 52, 52);
QRV_CHECK_OFFSET(globalvars_t, v_right, 64, 64);
QRV_CHECK_OFFSET(globalvars_t, trace_allsolid, 76, 76);
QRV_CHECK_OFFSET(globalvars_t, trace_startsolid, 80, 80);
QRV_CHECK_OFFSET(globalvars_t, trace_fraction, 84, 84);
QRV_CHECK_OFFSET(globalvars_t, trace_endpos, 88, 88);
QRV_CHECK_OFFSET(globalvars_t, trace_plane_normal, 100, 100);
QRV_CHECK_OFFSET(globalvars_t, trace_plane_dist, 112, 112);
QRV_CHECK_OFFSET(globalvars_t, trace_ent, 116, 120);
QRV_CHECK_OFFSET(globalvars_t, trace_inopen, 120, 128);
QRV_CHECK_OFFSET(globalvars_t, trace_inwater, 124, 132);
QRV_CHECK_OFFSET(globalvars_t, trace_hitgroup, 128, 136);
QRV_CHECK_OFFSET(globalvars_t, trace_flags, 132, 140);
QRV_CHECK_OFFSET(globalvars_t, msg_entity, 136, 144);
QRV_CHECK_OFFSET(globalvars_t, cdAudioTrack, 140, 148);
QRV_CHECK_OFFSET(globalvars_t, maxClients, 144, 152);
QRV_CHECK_OFFSET(globalvars_t, maxEntities, 148, 156);
QRV_CHECK_OFFSET(globalvars_t, pStringBase, 152, 160);
QRV_CHECK_OFFSET(globalvars_t, pSaveData, 156, 168);
QRV_CHECK_OFFSET(globalvars_t, vecLandmarkOffset, 160, 176);
QRV_CHECK_SIZE(globalvars_t, 172, 192);

typedef struct entvars_s {
  string_t classname;
  string_t globalname;
  vec3_t origin;
  vec3_t oldorigin;
  vec3_t velocity;
  vec3_t basevelocity;
  vec3_t clbasevelocity;
  vec3_t movedir;
  vec3_t angles;
  vec3_t avelocity;
  vec3_t punchangle;
  vec3_t v_angle;
  vec3_t endpos;
  vec3_t startpos;
  float impacttime;
  float starttime;
  int fixangle;
  float idealpitch;
  float pitch_speed;
  float ideal_yaw;
  float yaw_speed;
  int modelindex;
  string_t model;
  int viewmodel;
  int weaponmodel;
  vec3_t absmin;
  vec3_t absmax;
  vec3_t mins;
  vec3_t maxs;
  vec3_t size;
  float ltime;
  float nextthink;
  int movetype;
  int solid;
  int skin;
  int body;
  int effects;
  float gravity;
  float friction;
  int light_level;
  int sequence;
  int gaitsequence;
  float frame;
  float animtime;
  float framerate;
  byte controller[4];
  byte blending[2];
  float scale;
  int rendermode;
  float renderamt;
  vec3_t rendercolor;
  int renderfx;
  float health;
  float frags;
  int weapons;
  float takedamage;
  int deadflag;
  vec3_t view_ofs;
  int button;
  int impulse;
  edict_t *chain;
  edict_t *dmg_inflictor;
  edict_t *enemy;
  edict_t *aiment;
  edict_t *owner;
  edict_t *groundentity;
  int spawnflags;
  int flags;
  int colormap;
  int team;
  float max_health;
  float teleport_time;
  float armortype;
  float armorvalue;
  int waterlevel;
  int watertype;
  string_t target;
  string_t targetname;
  string_t netname;
  string_t message;
  float dmg_take;
  float dmg_save;
  float dmg;
  float dmgtime;
  string_t noise;
  string_t noise1;
  string_t noise2;
  string_t noise3;
  float speed;
  float air_finished;
  float pain_finished;
  float radsuit_finished;
  edict_t *pContainingEntity;
  int playerclass;
  float maxspeed;
  float fov;
  int weaponanim;
  int pushmsec;
  int bInDuck;
  int flTimeStepSound;
  int flSwimTime;
  int flDuckTime;
  int iStepLeft;
  float flFallVelocity;
  int gamestate;
  int oldbuttons;
  int groupinfo;
  int iuser1;
  int iuser2;
  int iuser3;
  int iuser4;
  float fuser1;
  float fuser2;
  float fuser3;
  float fuser4;
  vec3_t vuser1;
  vec3_t vuser2;
  vec3_t vuser3;
  vec3_t vuser4;
  edict_t *euser1;
  edict_t *euser2;
  edict_t *euser3;
  edict_t *euser4;
} entvars_t;

QRV_CHECK_OFFSET(entvars_t, classname, 0, 0);
QRV_CHECK_OFFSET(entvars_t, globalname, 4, 4);
QRV_CHECK_OFFSET(entvars_t, origin, 8, 8);
QRV_CHECK_OFFSET(entvars_t, oldorigin, 20, 20);
QRV_CHECK_OFFSET(entvars_t, velocity, 32, 32);
QRV_CHECK_OFFSET(entvars_t, basevelocity, 44, 44);
QRV_CHECK_OFFSET(entvars_t, clbasevelocity, 56, 56);
QRV_CHECK_OFFSET(entvars_t, movedir, 68, 68);
QRV_CHECK_OFFSET(entvars_t, angles, 80, 80);
QRV_CHECK_OFFSET(entvars_t, avelocity, 92, 92);
QRV_CHECK_OFFSET(entvars_t, punchangle, 104, 104);
QRV_CHECK_OFFSET(entvars_t, v_angle, 116, 116);
QRV_CHECK_OFFSET(entvars_t, endpos, 128, 128);
QRV_CHECK_OFFSET(entvars_t, startpos, 140, 140);
QRV_CHECK_OFFSET(entvars_t, impacttime, 152, 152);
QRV_CHECK_OFFSET(entvars_t, starttime, 156, 156);
QRV_CHECK_OFFSET(entvars_t, fixangle, 160, 160);
QRV_CHECK_OFFSET(entvars_t, idealpitch, 164, 164);
QRV_CHECK_OFFSET(entvars_t, pitch_speed, 168, 168);
QRV_CHECK_OFFSET(entvars_t, ideal_yaw, 172, 172);
QRV_CHECK_OFFSET(entvars_t, yaw_speed, 176, 176);
QRV_CHECK_OFFSET(entvars_t, modelindex, 180, 180);
QRV_CHECK_OFFSET(entvars_t, model, 184, 184);
QRV_CHECK_OFFSET(entvars_t, viewmodel, 188, 188);
QRV_CHECK_OFFSET(entvars_t, weaponmodel, 192, 192);
QRV_CHECK_OFFSET(entvars_t, absmin, 196, 196);
QRV_CHECK_OFFSET(entvars_t, absmax, 208, 208);
QRV_CHECK_OFFSET(entvars_t, mins, 220, 220);
QRV_CHECK_OFFSET(entvars_t, maxs, 232, 232);
QRV_CHECK_OFFSET(entvars_t, size, 244, 244);
QRV_CHECK_OFFSET(entvars_t, ltime, 256, 256);
QRV_CHECK_OFFSET(entvars_t, nextthink, 260, 260);
QRV_CHECK_OFFSET(entvars_t, movetype, 264, 264);
QRV_CHECK_OFFSET(entvars_t, solid, 268, 268);
QRV_CHECK_OFFSET(entvars_t, skin, 272, 272);
QRV_CHECK_OFFSET(entvars_t, body, 276, 276);
QRV_CHECK_OFFSET(entvars_t, effects, 280, 280);
QRV_CHECK_OFFSET(entvars_t, gravity, 284, 284);
QRV_CHECK_OFFSET(entvars_t, friction, 288, 288);
QRV_CHECK_OFFSET(entvars_t, light_level, 292, 292);
QRV_CHECK_OFFSET(entvars_t, sequence, 296, 296);
QRV_CHECK_OFFSET(entvars_t, gaitsequence, 300, 300);
QRV_CHECK_OFFSET(entvars_t, frame, 304, 304);
QRV_CHECK_OFFSET(entvars_t, animtime, 308, 308);
QRV_CHECK_OFFSET(entvars_t, framerate, 312, 312);
QRV_CHECK_OFFSET(entvars_t, controller, 316, 316);
QRV_CHECK_OFFSET(entvars_t, blending, 320, 320);
QRV_CHECK_OFFSET(entvars_t, scale, 324, 324);
QRV_CHECK_OFFSET(entvars_t, rendermode, 328, 328);
QRV_CHECK_OFFSET(entvars_t, renderamt, 332, 332);
QRV_CHECK_OFFSET(entvars_t, rendercolor, 336, 336);
QRV_CHECK_OFFSET(entvars_t, renderfx, 348, 348);
QRV_CHECK_OFFSET(entvars_t, health, 352, 352);
QRV_CHECK_OFFSET(entvars_t, frags, 356, 356);
QRV_CHECK_OFFSET(entvars_t, weapons, 360, 360);
QRV_CHECK_OFFSET(entvars_t, takedamage, 364, 364);
QRV_CHECK_OFFSET(entvars_t, deadflag, 368, 368);
QRV_CHECK_OFFSET(entvars_t, view_ofs, 372, 372);
QRV_CHECK_OFFSET(entvars_t, button, 384, 384);
QRV_CHECK_OFFSET(entvars_t, impulse, 388, 388);
QRV_CHECK_OFFSET(entvars_t, chain, 392, 392);
QRV_CHECK_OFFSET(entvars_t, dmg_inflictor, 396, 400);
QRV_CHECK_OFFSET(entvars_t, enemy, 400, 408);
QRV_CHECK_OFFSET(entvars_t, aiment, 404, 416);
QRV_CHECK_OFFSET(entvars_t, owner, 408, 424);
QRV_CHECK_OFFSET(entvars_t, groundentity, 412, 432);
QRV_CHECK_OFFSET(entvars_t, spawnflags, 416, 440);
QRV_CHECK_OFFSET(entvars_t, flags, 420, 444);
QRV_CHECK_OFFSET(entvars_t, colormap, 424, 448);
QRV_CHECK_OFFSET(entvars_t, team, 428, 452);
QRV_CHECK_OFFSET(entvars_t, max_health, 432, 456);
QRV_CHECK_OFFSET(entvars_t, teleport_time, 436, 460);
QRV_CHECK_OFFSET(entvars_t, armortype, 440, 464);
QRV_CHECK_OFFSET(entvars_t, armorvalue, 444, 468);
QRV_CHECK_OFFSET(entvars_t, waterlevel, 448, 472);
QRV_CHECK_OFFSET(entvars_t, watertype, 452, 476);
QRV_CHECK_OFFSET(entvars_t, target, 456, 480);
QRV_CHECK_OFFSET(entvars_t, targetname, 460, 484);
QRV_CHECK_OFFSET(entvars_t, netname, 464, 488);
QRV_CHECK_OFFSET(entvars_t, message, 468, 492);
QRV_CHECK_OFFSET(entvars_t, dmg_take, 472, 496);
QRV_CHECK_OFFSET(entvars_t, dmg_save, 476, 500);
QRV_CHECK_OFFSET(entvars_t, dmg, 480, 504);
QRV_CHECK_OFFSET(entvars_t, dmgtime, 484, 508);
QRV_CHECK_OFFSET(entvars_t, noise, 488, 512);
QRV_CHECK_OFFSET(entvars_t, noise1, 492, 516);
QRV_CHECK_OFFSET(entvars_t, noise2, 496, 520);
QRV_CHECK_OFFSET(entvars_t, noise3, 500, 524);
QRV_CHECK_OFFSET(entvars_t, speed, 504, 528);
QRV_CHECK_OFFSET(entvars_t, air_finished, 508, 532);
QRV_CHECK_OFFSET(entvars_t, pain_finished, 512, 536);
QRV_CHECK_OFFSET(entvars_t, radsuit_finished, 516, 540);
QRV_CHECK_OFFSET(entvars_t, pContainingEntity, 520, 544);
QRV_CHECK_OFFSET(entvars_t, playerclass, 524, 552);
QRV_CHECK_OFFSET(entvars_t, maxspeed, 528, 556);
QRV_CHECK_OFFSET(entvars_t, fov, 532, 560);
QRV_CHECK_OFFSET(entvars_t, weaponanim, 536, 564);
QRV_CHECK_OFFSET(entvars_t, pushmsec, 540, 568);
QRV_CHECK_OFFSET(entvars_t, bInDuck, 544, 572);
QRV_CHECK_OFFSET(entvars_t, flTimeStepSound, 548, 576);
QRV_CHECK_OFFSET(entvars_t, flSwimTime, 552, 580);
QRV_CHECK_OFFSET(entvars_t, flDuckTime, 556, 584);
QRV_CHECK_OFFSET(entvars_t, iStepLeft, 560, 588);
QRV_CHECK_OFFSET(entvars_t, flFallVelocity, 564, 592);
QRV_CHECK_OFFSET(entvars_t, gamestate, 568, 596);
QRV_CHECK_OFFSET(entvars_t, oldbuttons, 572, 600);
QRV_CHECK_OFFSET(entvars_t, groupinfo, 576, 604);
QRV_CHECK_OFFSET(entvars_t, iuser1, 580, 608);
QRV_CHECK_OFFSET(entvars_t, iuser2, 584, 612);
QRV_CHECK_OFFSET(entvars_t, iuser3, 588, 616);
QRV_CHECK_OFFSET(entvars_t, iuser4, 592, 620);
QRV_CHECK_OFFSET(entvars_t, fuser1, 596, 624);
QRV_CHECK_OFFSET(entvars_t, fuser2, 600, 628);
QRV_CHECK_OFFSET(entvars_t, fuser3, 604, 632);
QRV_CHECK_OFFSET(entvars_t, fuser4, 608, 636);
QRV_CHECK_OFFSET(entvars_t, vuser1, 612, 640);
QRV_CHECK_OFFSET(entvars_t, vuser2, 624, 652);
QRV_CHECK_OFFSET(entvars_t, vuser3, 636, 664);
QRV_CHECK_OFFSET(entvars_t, vuser4, 648, 676);
QRV_CHECK_OFFSET(entvars_t, euser1, 660, 688);
QRV_CHECK_OFFSET(entvars_t, euser2, 664, 696);
QRV_CHECK_OFFSET(entvars_t, euser3, 668, 704);
QRV_CHECK_OFFSET(entvars_t, euser4, 672, 712);
QRV_CHECK_SIZE(entvars_t, 676, 720);

#define MAX_ENT_LEAFS 48

typedef struct link_s {
  struct link_s *prev;
  struct link_s *next;
} link_t;

struct edict_s {
  qboolean free;
  int serialnumber;
  link_t area;
  int headnode;
  int num_leafs;
  short leafnums[MAX_ENT_LEAFS];
  float freetime;
  void *pvPrivateData;
  entvars_t v;
};

QRV_CHECK_OFFSET(edict_t, free, 0, 0);
QRV_CHECK_OFFSET(edict_t, serialnumber, 4, 4);
QRV_CHECK_OFFSET(edict_t, area, 8, 8);
QRV_CHECK_OFFSET(edict_t, headnode, 16, 24);
QRV_CHECK_OFFSET(edict_t, num_leafs, 20, 28);
QRV_CHECK_OFFSET(edict_t, leafnums, 24, 32);
QRV_CHECK_OFFSET(edict_t, freetime, 120, 128);
QRV_CHECK_OFFSET(edict_t, pvPrivateData, 124, 136);
QRV_CHECK_OFFSET(edict_t, v, 128, 144);
QRV_CHECK_SIZE(edict_t, 804, 864);

// entvars_t::flags
#define FL_FLY (1 << 0)
#define FL_SWIM (1 << 1)
#define FL_CONVEYOR (1 << 2)
#define FL_CLIENT (1 << 3)
#define FL_INWATER (1 << 4)
#define FL_MONSTER (1 << 5)
#define FL_GODMODE (1 << 6)
#define FL_NOTARGET (1 << 7)
#define FL_SKIPLOCALHOST (1 << 8)
#define FL_ONGROUND (1 << 9)
#define FL_PARTIALGROUND (1 << 10)
#define FL_WATERJUMP (1 << 11)
#define FL_FROZEN (1 << 12)
#define FL_FAKECLIENT (1 << 13)
#define FL_DUCKING (1 << 14)
#define FL_FLOAT (1 << 15)
#define FL_GRAPHED (1 << 16)
#define FL_IMMUNE_WATER (1 << 17)
#define FL_IMMUNE_SLIME (1 << 18)
#define FL_IMMUNE_LAVA (1 << 19)
#define FL_PROXY (1 << 20)
#define FL_ALWAYSTHINK (1 << 21)
#define FL_BASEVELOCITY (1 << 22)
#define FL_MONSTERCLIP (1 << 23)
#define FL_ONTRAIN (1 << 24)
#define FL_WORLDBRUSH (1 << 25)
#define FL_SPECTATOR (1 << 26)
#define FL_CUSTOMENTITY (1 << 29)
#define FL_KILLME (1 << 30)
#define FL_DORMANT (1u << 31)

// entvars_t::rendermode
enum : int {
  kRenderNormal,
  kRenderTransColor,
  kRenderTransTexture,
  kRenderGlow,
  kRenderTransAlpha,
  kRenderTransAdd
};
