-- The catalogue on the embedded server. Column order is part of the contract: rows are read
-- back with "select *" and stamped with checksums over their columns in table order.
-- Text columns compare case-insensitively in the Turkish manner (collation TR_CI).

CREATE TABLE tbOrraCategory (
  ID int NOT NULL CONSTRAINT PK_tbOrraCategory PRIMARY KEY,
  ParentID int,
  Name char(50) COLLATE TR_CI,
  Type char(1) COLLATE TR_CI,
  Disabled bit,
  Owner varbinary(85),
  CheckSum int
);
CREATE UNIQUE INDEX IX_ParentID_Name_tbOrraCategory ON tbOrraCategory (ParentID, Name);

CREATE TABLE tbOrraSQL (
  ID int NOT NULL CONSTRAINT PK_tbOrraSQL PRIMARY KEY,
  CategoryID int,
  Name char(50) COLLATE TR_CI,
  Description char(1000) COLLATE TR_CI,
  Type char(1) COLLATE TR_CI,
  Disabled bit,
  SQLtxt text COLLATE TR_CI,
  Owner varbinary(85),
  CheckSum int
);
CREATE UNIQUE INDEX IX_CategoryID_Name_tbOrraSQL ON tbOrraSQL (CategoryID, Name);

CREATE TABLE tbOrraRelations (
  ObjID int NOT NULL,
  RelObjID int NOT NULL,
  CONSTRAINT FK_tbOrraRelations_tbOrraSQL1 FOREIGN KEY (ObjID) REFERENCES tbOrraSQL (ID)
    ON DELETE CASCADE ON UPDATE CASCADE,
  CONSTRAINT FK_tbOrraRelations_tbOrraSQL FOREIGN KEY (RelObjID) REFERENCES tbOrraSQL (ID)
);
CREATE INDEX IX_ObjID_tbOrraRelations ON tbOrraRelations (ObjID);
CREATE INDEX IX_RelObjID_tbOrraRelations ON tbOrraRelations (RelObjID);

CREATE TABLE tbOrraRepository (
  ID INTEGER NOT NULL CONSTRAINT PK_tbOrraRepository PRIMARY KEY AUTOINCREMENT,
  Tag char(50) COLLATE TR_CI,
  Name char(50) COLLATE TR_CI,
  SQLTxt text COLLATE TR_CI
);

CREATE TABLE tbOrraCallSchema (
  ID INTEGER NOT NULL CONSTRAINT PK_tbOrraCallSchema PRIMARY KEY AUTOINCREMENT,
  DocID int NOT NULL,
  SchemaID int NOT NULL,
  Name char(50) COLLATE TR_CI,
  Description char(1000) COLLATE TR_CI,
  CONSTRAINT FK_tbOrraCallSchema_tbOrraSQL FOREIGN KEY (DocID) REFERENCES tbOrraSQL (ID)
    ON DELETE CASCADE ON UPDATE CASCADE
);
CREATE INDEX IX_DocID_tbOrraCallSchema ON tbOrraCallSchema (DocID);

CREATE TABLE tbOrraCallSchemaDetail (
  ParentID int NOT NULL,
  ParamID varchar(500) COLLATE TR_CI NOT NULL,
  ParamVal varchar(500) COLLATE TR_CI,
  CONSTRAINT FK_tbOrraCallSchemaDetail_tbOrraCallSchema FOREIGN KEY (ParentID)
    REFERENCES tbOrraCallSchema (ID) ON DELETE CASCADE ON UPDATE CASCADE
);
CREATE INDEX IX_ParentID_tbOrraCallSchemaDetail ON tbOrraCallSchemaDetail (ParentID);

CREATE TABLE tbOrraDocPermissions (
  OrraID int,
  UserId int,
  Allow int,
  "Deny" int,
  CheckSum int
);
CREATE INDEX IX_OrraID_tbOrraDocPermissions ON tbOrraDocPermissions (OrraID, UserId);

CREATE TABLE tbOrraCategoryPermissions (
  CategoryID int,
  UserId int,
  Allow int,
  "Deny" int,
  CheckSum int
);
CREATE INDEX IX_CategoryID_tbOrraCategoryPermissions ON tbOrraCategoryPermissions (CategoryID, UserId);

CREATE TABLE tbOrraConnections (
  Server varchar(255) COLLATE TR_CI NOT NULL CONSTRAINT PK_tbOrraConnections PRIMARY KEY,
  IP varchar(50) COLLATE TR_CI,
  "Database" varchar(255) COLLATE TR_CI,
  UserName varchar(255) COLLATE TR_CI NOT NULL,
  UserPwd varchar(100) COLLATE TR_CI NOT NULL
);

-- Document locks taken by sp_UserLock: one row per locked document, naming the session
-- (process number and its log-in time, so that a session that has ended is recognised).
CREATE TABLE tbOrraLocks (
  DocID int NOT NULL CONSTRAINT PK_tbOrraLocks PRIMARY KEY,
  SPID int NOT NULL,
  LoginTime datetime NOT NULL,
  LoginName varchar(128) COLLATE TR_CI NOT NULL,
  Program varchar(128) COLLATE TR_CI,
  LockTime datetime NOT NULL
);
