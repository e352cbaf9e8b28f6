#include "app/GameApplication.h"

CGameApplication::CGameApplication() : m_smallIconId(0), m_iconId(0), m_hWnd(NULL), m_hInstance(NULL) {}

CGameApplication::~CGameApplication() {}
